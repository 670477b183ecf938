#pragma once
// The two attribute edit windows: EditAttributeDialog for one value,
// EditMultiValueDialog for a list of values. Both are small fixed-size
// windows, children of the main window and centred on it, that do not block
// it; their read-only attribute field carries the catalogue id (property
// "catalogueId"), which drives "OK". "OK" writes to the object open at that
// moment (nothing happens while none is) and closes; "Cancel", Escape and the
// close box just close.

#include "app/AttributeEditing.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace orvane
{

class EditAttributeDialog : public QDialog
{
    Q_OBJECT
  public:
    /// Builds the window showing `label` and `value` for catalogue attribute `id`.
    EditAttributeDialog(AttributeEditTarget target, const QString &title, const QString &label,
                        const QString &value, long long id, QWidget *parent);

    /// True when the value field no longer holds the value the window opened with.
    bool hasChanges() const;

  public slots:
    /// Writes the value field when an object is open, then closes.
    void ok();

  private:
    AttributeEditTarget target_;
    QString opened_;
    QLineEdit *attributeField_;
    QLineEdit *valueField_;
};

class EditMultiValueDialog : public QDialog
{
    Q_OBJECT
  public:
    /// Builds the window for catalogue attribute `id`; the list shows the
    /// values of `value` (split at the stored delimiter) in reverse order.
    EditMultiValueDialog(AttributeEditTarget target, const QString &title, const QString &label,
                         const QString &value, long long id, QWidget *parent);

    /// Returns the list's texts, top to bottom.
    QStringList values() const;
    /// True when the list differs from the one the window opened with, or a
    /// value is typed in the value field.
    bool hasChanges() const;

  public slots:
    /// Puts the value field's text at the top of the list, unless it is
    /// empty, already listed (ignoring case) or the attribute's limit is reached.
    void add();
    /// Removes the selected values, leaving the topmost of them in the value field.
    void remove();
    /// Writes the listed values when an object is open, then closes.
    void ok();

  private:
    long long catalogueId() const;

    AttributeEditTarget target_;
    QStringList opened_;
    QLineEdit *attributeField_;
    QLineEdit *valueField_;
    QListWidget *valueList_;
};

/// True when `editor` is one of the two edit windows and holds typed changes.
bool editorHasChanges(const QDialog *editor);

} // namespace orvane
