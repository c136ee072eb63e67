#pragma once
// The link of a data-aware component to one field of a data source: the dataset (the
// data source of this port), the field's name and the component it serves. The dataset
// is not owned; once it is destroyed the link reads empty.
#include "data/core/Dataset.h"
#include <QPointer>
#include <QString>

namespace components {

class FieldDataLink {
public:
    explicit FieldDataLink(QObject *control) : control_(control) {}

    QObject *Control() const { return control_; }
    data::Dataset *DataSource() const { return dataSource_.data(); }
    void setDataSource(data::Dataset *dataSource)
    {
        dataSource_ = dataSource;
        identity_ = dataSource;
    }
    // Whether object is the data source last set (also while it is being destroyed).
    bool refersTo(const QObject *object) const { return object && object == identity_; }
    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString &name) { fieldName_ = name; }
    // A fixed data source is kept while the owner is being loaded.
    bool DataSourceFixed() const { return dataSourceFixed_; }
    void setDataSourceFixed(bool fixed) { dataSourceFixed_ = fixed; }
    // The field of that name in the data source; nullptr when there is none.
    data::Field *Field() const
    {
        return dataSource_ && dataSource_->Active() ? dataSource_->FindField(fieldName_) : nullptr;
    }

private:
    QObject *control_;
    QPointer<data::Dataset> dataSource_;
    const QObject *identity_ = nullptr;
    QString fieldName_;
    bool dataSourceFixed_ = false;
};

} // namespace components
