#pragma once
// Why a prepared value looks as it does: the same steps value preparation
// takes, retraced rule by rule for a value that is already known to differ,
// so that the administrator can see which replacement rules matched, whether
// the value was cut to the attribute's size and whether its first letter was
// upper-cased. It never decides a value: the plan takes values only from
// PrepareSyncRecords.

#include "store/Settings.h"
#include "sync/SyncRecord.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace orvane
{

class ReplacementPatterns;

class PreparationWhy
{
  public:
    explicit PreparationWhy(const Settings &settings);
    ~PreparationWhy();
    PreparationWhy(const PreparationWhy &) = delete;
    PreparationWhy &operator=(const PreparationWhy &) = delete;

    /// The reasons for `record` after PrepareSyncRecords (its flags set), one
    /// short sentence each, in the order the steps run; empty when the cell
    /// text was taken as it stood.
    QStringList explain(const SyncRecord &record);

  private:
    const Settings &settings_;
    std::vector<std::unique_ptr<ReplacementPatterns>> rules_;
};

} // namespace orvane
