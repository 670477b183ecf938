#pragma once
// The Options window's "Active Directory" tab: where the directory is, how to
// sign in, which attribute picks and which shows an object, the multi-value
// delimiter and when comparisons run. Nothing is written until the window is saved.

#include "store/PasswordStore.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvane
{

struct AppContext;

/// What the tab holds when the window is saved.
struct DirectoryValues {
    QString server;
    QString port;
    QString baseDn;
    long long selectBy = 0;  ///< attribute id, 0 when none is selected
    long long displayBy = 0; ///< attribute id, 0 when none is selected
    int showComparison = 0;  ///< index of the chosen entry
    bool useCurrentCredentials = false;
    QString userName;
    QString password;
    QString delimiter;
};

class DirectoryTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab filled from the options and the in-memory settings.
    explicit DirectoryTab(AppContext &ctx, QWidget *parent = nullptr);

    DirectoryValues values() const;

    /// Says in the line beside the password where it is kept.
    void showPasswordPlace(PasswordPlace place);

  signals:
    /// A change that makes "Apply" available.
    void changed();

  private:
    QComboBox *attributeCombo(const QString &name, const QRect &where, long long selectedId);
    void credentialsToggled(bool useCurrent);

    AppContext &ctx_;
    QLineEdit *server_;
    QLineEdit *port_;
    QLineEdit *baseDn_;
    QLineEdit *userName_;
    QLineEdit *password_;
    QLabel *passwordPlace_;
    QCheckBox *useCurrent_;
    QComboBox *selectBy_;
    QComboBox *displayBy_;
    QLineEdit *delimiter_;
    QComboBox *showComparison_;
};

} // namespace orvane
