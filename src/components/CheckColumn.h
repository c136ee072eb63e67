#pragma once
// A grid column: the field it shows, its own read-only and visible settings (defaults
// follow the grid and the field), title caption, input-method name, and the check-box
// texts of one-character Y/N fields.
#include <QString>
#include <optional>

namespace data { class Field; }

namespace components {

class TwDBGrid;

class TCheckColumn {
public:
    TCheckColumn(TwDBGrid *grid, int index, const QString &fieldName);

    TwDBGrid *Grid() const { return grid_; }
    int Index() const { return index_; }
    QString FieldName() const { return fieldName_; }
    // The dataset's field of that name; nullptr when the dataset lacks it or is closed.
    data::Field *Field() const;

    // Default: the grid is read-only or the field is read-only.
    bool ReadOnly() const;
    void setReadOnly(bool readOnly);
    void restoreDefaultReadOnly() { readOnly_.reset(); }
    // Default: the field's visible flag.
    bool Visible() const;
    void setVisible(bool visible);
    void restoreDefaultVisible() { visible_.reset(); }
    // Default: the field's display label.
    QString TitleCaption() const;
    void setTitleCaption(const QString &caption);
    QString ImeName() const { return imeName_; }
    void setImeName(const QString &name) { imeName_ = name; }

    QString Check() const { return check_; }
    void setCheck(const QString &value);
    QString ValueChecked() const { return valueChecked_; }
    void setValueChecked(const QString &value);
    QString ValueUnchecked() const { return valueUnchecked_; }
    void setValueUnchecked(const QString &value);

private:
    void changed();

    TwDBGrid *grid_;
    int index_;
    QString fieldName_;
    std::optional<bool> readOnly_;
    std::optional<bool> visible_;
    std::optional<QString> caption_;
    QString imeName_;
    QString check_;
    QString valueChecked_ = QStringLiteral("Y");
    QString valueUnchecked_ = QStringLiteral("N");
};

// One-character text field tagged 9 or 10, holding "Y" or "N".
bool isCheckField(const data::Field *field);
// Text fields as the grid treats them for character case and check fields. The SQLite
// provider reports every text column as wide text, so both text types count.
bool isTextField(const data::Field *field);

} // namespace components
