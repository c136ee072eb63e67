#include "wDSelect.h"
#include <QWidget>

namespace components {

TwDSelect::TwDSelect(QObject *owner, Creation creation)
    : QObject(owner), loading_(owner && creation == Creation::Loading),
      dataLink_(std::make_unique<FieldDataLink>(this))
{
    if (loading_)
        return;
    locateOptions_ |= data::loPartialKey;
    for (List which : {List::OrderBy, List::OrderByLabel, List::DisplayBy, List::DisplayByLabel})
        list(which);
    phoneFieldName_ = QStringLiteral("phonecode");
}

TwDSelect::~TwDSelect() = default;

QStringList &TwDSelect::list(List which)
{
    std::unique_ptr<QStringList> &slot = lists_[size_t(which)];
    if (!slot)
        slot = std::make_unique<QStringList>();
    return *slot;
}

void TwDSelect::setDataSource(data::Dataset *dataSource)
{
    if (!(loading_ && dataLink_->DataSourceFixed()))
        dataLink_->setDataSource(dataSource);
    if (dataSource)
        freeNotification(dataSource);
}

void TwDSelect::setQuery(data::CommandQuery *query)
{
    if (query == query_)
        return;
    query_ = query;
    if (query)
        freeNotification(query);
}

void TwDSelect::setFocusControl(QWidget *control)
{
    focusControl_ = control;
    if (control)
        freeNotification(control);
}

void TwDSelect::freeNotification(QObject *component)
{
    connect(component, &QObject::destroyed, this, &TwDSelect::componentDestroyed, Qt::UniqueConnection);
}

void TwDSelect::componentDestroyed(QObject *component)
{
    Notification(component, opRemove);
}

// The object is already being destroyed: only its address is compared.
void TwDSelect::Notification(QObject *component, TOperation operation)
{
    if (operation != opRemove)
        return;
    if (component == static_cast<QObject *>(query_))
        query_ = nullptr;
    if (focusControl_ && component == static_cast<QObject *>(focusControl_))
        focusControl_ = nullptr;
    if (dataLink_->refersTo(component))
        setDataSource(nullptr);
}

} // namespace components
