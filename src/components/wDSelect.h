#pragma once
// TwDSelect: the settings of a record-picking dialog, kept by a non-visual component:
// the query that supplies the records, the sort orders and shown columns with their
// captions, three extra fields, question lines, a phone-number mode, the data field that
// receives the picked value, help settings and event handlers. References to the query,
// the focus control and the data source are not owned: each is forgotten when that
// object is destroyed.
#include "FieldDataLink.h"
#include "SeekDialog.h"
#include "wDBGrid.h"
#include "data/core/CommandQuery.h"
#include "data/core/Dataset.h"
#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace components {

// A field descriptor of the picker (no settings of its own).
class TwField : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};

using TSelectingEvent = std::function<void(QObject *sender, data::Dataset *dataSet)>;
using TDSelectDblClickEvent = std::function<void(QObject *sender, data::Dataset *dataSet)>;
using TDSelectChangeDrawingEvent = std::function<void(QObject *sender, int dataCol, int dataRow,
                                                      TGridDrawState state, data::Dataset *dataSet,
                                                      bool &highlighted)>;

class TwDSelect : public QObject {
    Q_OBJECT
public:
    // Created by code, the component starts with its lists, partial-key locating and the
    // phone field "phonecode"; created while its owner is being loaded it starts bare and
    // the loader sets the stored values, then calls Loaded(). Without an owner it counts
    // as created by code.
    enum class Creation { ByCode, Loading };
    // The owned lists; each is created empty on first use.
    enum class List { OrderBy, OrderByLabel, DisplayBy, DisplayByLabel, Question };
    enum TOperation { opInsert, opRemove };

    explicit TwDSelect(QObject *owner = nullptr, Creation creation = Creation::ByCode);
    ~TwDSelect() override;

    bool Loading() const { return loading_; }
    void Loaded() { loading_ = false; }

    QString Caption() const { return caption_; }
    void setCaption(const QString &caption) { caption_ = caption; }
    TEditCharCase CharCase() const { return charCase_; }
    void setCharCase(TEditCharCase charCase) { charCase_ = charCase; }
    QString DataField() const { return dataLink_->FieldName(); }
    void setDataField(const QString &name) { dataLink_->setFieldName(name); }
    data::Dataset *DataSource() const { return dataLink_->DataSource(); }
    void setDataSource(data::Dataset *dataSource);
    QString ExtField1() const { return extField_[0]; }
    void setExtField1(const QString &name) { extField_[0] = name; }
    QString ExtField2() const { return extField_[1]; }
    void setExtField2(const QString &name) { extField_[1] = name; }
    QString ExtField3() const { return extField_[2]; }
    void setExtField3(const QString &name) { extField_[2] = name; }
    QWidget *FocusControl() const { return focusControl_; }
    void setFocusControl(QWidget *control);
    qint32 HelpContext() const { return helpContext_; }
    void setHelpContext(qint32 context) { helpContext_ = context; }
    QString HelpFile() const { return helpFile_; }
    void setHelpFile(const QString &file) { helpFile_ = file; }
    QString HelpKeyword() const { return helpKeyword_; }
    void setHelpKeyword(const QString &keyword) { helpKeyword_ = keyword; }
    bool IsPhone() const { return isPhone_; }
    void setIsPhone(bool isPhone) { isPhone_ = isPhone; }
    data::TLocateOptions LocateOptions() const { return locateOptions_; }
    void setLocateOptions(data::TLocateOptions options) { locateOptions_ = options; }
    QString LookupDataField() const { return lookupDataField_; }
    void setLookupDataField(const QString &name) { lookupDataField_ = name; }
    QString PhoneFieldName() const { return phoneFieldName_; }
    void setPhoneFieldName(const QString &name) { phoneFieldName_ = name; }
    data::CommandQuery *Query() const { return query_; }
    void setQuery(data::CommandQuery *query);

    // Reading gives the component's own list (created empty when missing); assigning
    // copies the lines into it, so the caller keeps its list.
    QStringList &list(List which);
    void setList(List which, const QStringList &lines) { list(which) = lines; }
    bool hasList(List which) const { return lists_[size_t(which)] != nullptr; }
    QStringList &OrderBy() { return list(List::OrderBy); }
    void setOrderBy(const QStringList &lines) { setList(List::OrderBy, lines); }
    QStringList &OrderByLabel() { return list(List::OrderByLabel); }
    void setOrderByLabel(const QStringList &lines) { setList(List::OrderByLabel, lines); }
    QStringList &DisplayBy() { return list(List::DisplayBy); }
    void setDisplayBy(const QStringList &lines) { setList(List::DisplayBy, lines); }
    QStringList &DisplayByLabel() { return list(List::DisplayByLabel); }
    void setDisplayByLabel(const QStringList &lines) { setList(List::DisplayByLabel, lines); }
    QStringList &Question() { return list(List::Question); }
    void setQuestion(const QStringList &lines) { setList(List::Question, lines); }

    TSelectingEvent OnSelected;
    TSelectingEvent OnSelecting;
    TQuestionClickEvent OnQuestionClick;
    TDSelectDblClickEvent OnDblClick;
    TDSelectChangeDrawingEvent OnChangeDrawingEvent;

    const FieldDataLink &DataLink() const { return *dataLink_; }
    FieldDataLink &DataLink() { return *dataLink_; }
    // Field descriptors, owned.
    const std::vector<std::unique_ptr<TwField>> &Fields() const { return fields_; }

protected:
    // A related component is being inserted or removed; on removal the references to it
    // are emptied (the data source through its setter).
    virtual void Notification(QObject *component, TOperation operation);

private:
    void freeNotification(QObject *component);
    void componentDestroyed(QObject *component);

    bool loading_;
    std::unique_ptr<FieldDataLink> dataLink_;
    std::array<std::unique_ptr<QStringList>, 5> lists_;
    std::vector<std::unique_ptr<TwField>> fields_;
    QString caption_;
    TEditCharCase charCase_ = ecNormal;
    std::array<QString, 3> extField_;
    QWidget *focusControl_ = nullptr; // cleared by Notification, so never left dangling
    data::CommandQuery *query_ = nullptr; // likewise
    qint32 helpContext_ = 0;
    QString helpFile_;
    QString helpKeyword_;
    bool isPhone_ = false;
    data::TLocateOptions locateOptions_ = 0;
    QString lookupDataField_;
    QString phoneFieldName_;
};

} // namespace components
