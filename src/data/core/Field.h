#pragma once
// One column of a dataset as the program sees it: metadata, display settings, and the
// value of the dataset's current record (or of its edit buffer while editing).
#include "data/core/ColumnInfo.h"
#include "data/core/FieldType.h"
#include <QString>
#include <QVariant>

namespace data {

class Dataset;

class Field {
public:
    Field(Dataset *dataset, int index, const ColumnInfo &info);

    Dataset *DataSet() const { return dataset_; }
    int Index() const { return index_; }
    const ColumnInfo &Info() const { return info_; }
    // The column as its finished fetch described it: a column of an unknown or mixed
    // kind may change type when the last rows arrive. Settings (label, tag, flags) stay.
    void settleInfo(const ColumnInfo &info) { info_ = info; }

    QString FieldName() const { return info_.name; }
    TFieldType DataType() const { return info_.type; }
    int Size() const { return info_.size; }
    TFieldKind FieldKind() const { return kind_; }
    void setFieldKind(TFieldKind kind) { kind_ = kind; }

    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool Required() const { return required_; }
    void setRequired(bool required) { required_ = required; }
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool Visible() const { return visible_; }
    void setVisible(bool visible);

    // Reads the field name while no label is set; setting the name itself or an empty
    // text removes the label.
    QString DisplayLabel() const { return label_.isEmpty() ? info_.name : label_; }
    void setDisplayLabel(const QString &label);
    int DisplayWidth() const;
    void setDisplayWidth(int width) { displayWidth_ = width; }
    QString EditMask() const { return editMask_; }
    void setEditMask(const QString &mask) { editMask_ = mask; }

    bool IsBlob() const { return isBlobType(info_.type); }
    // ftMemo for text blobs; ftGraphic only for a field declared ftGraphic (the grid draws
    // those as pictures); ftBlob for every other binary blob, which is what the providers
    // make of binary columns; the data type otherwise.
    TFieldType BlobType() const;

    // Values of the current record.
    QVariant Value() const;
    void setValue(const QVariant &value); // puts the dataset into edit state if browsing
    bool IsNull() const { return !Value().isValid(); }
    void Clear() { setValue(QVariant()); }
    QString AsString() const;
    void setAsString(const QString &text); // converts to the field's type; throws on bad text
    int AsInteger() const;                 // throws DatabaseError when not a number
    void setAsInteger(int value) { setValue(qint64(value)); }
    double AsFloat() const;
    bool AsBoolean() const;
    QString DisplayText() const;

    // Text forms shared with the grid and the exports.
    static QString textOf(const QVariant &value, TFieldType type);
    // What a grid shows: blobs as "(MEMO)", "(GRAPHIC)", "(BLOB)" (lower case when NULL).
    static QString displayTextOf(const QVariant &value, TFieldType type);
    QVariant fromText(const QString &text) const; // throws DatabaseError on bad text

private:
    QVariant moneyFromText(const QString &text) const;
    QVariant decimalFromText(const QString &text) const;

    Dataset *dataset_;
    int index_;
    ColumnInfo info_;
    TFieldKind kind_ = fkData;
    int tag_ = 0;
    bool required_;
    bool readOnly_;
    bool visible_ = true;
    QString label_;
    int displayWidth_ = -1;
    QString editMask_;
};

} // namespace data
