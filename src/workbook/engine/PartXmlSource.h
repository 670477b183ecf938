#pragma once
// A ZIP part's inflating stream as the forward XML reader's source, so that a
// sheet or a string table is parsed as it inflates instead of from a whole copy.

#include "workbook/engine/XmlReader.h"
#include "workbook/engine/ZipPackage.h"

namespace orvane
{

class PartXmlSource : public XmlSource
{
  public:
    /// Reads from `stream`, which must outlive this source.
    explicit PartXmlSource(PartStream *stream) : stream_(stream) {}
    long long read(char *into, size_t room) override { return stream_->read(into, room); }

  private:
    PartStream *stream_;
};

} // namespace orvane
