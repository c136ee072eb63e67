#pragma once
// TwSeek: finds a record of a dataset by values the user types, one edit per field
// named in SeekField. Execute shows the dialog TfmSeek modally; after it, the dataset
// stands on the record found and Found says whether there was one.
#include "SeekDialog.h"
#include "data/core/Dataset.h"
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>
#include <vector>

namespace components {

class TwSeek : public QObject {
    Q_OBJECT
public:
    explicit TwSeek(QObject *owner = nullptr);

    // Not owned; forgotten when that dataset is destroyed.
    data::Dataset *DataSet() const { return dataSet_.data(); }
    void setDataSet(data::Dataset *dataset) { dataSet_ = dataset; }
    // Field names separated by ";".
    QString SeekField() const { return seekField_; }
    void setSeekField(const QString &names)
    {
        seekField_ = names;
        givenFields_.clear();
    }
    // The fields themselves, for names a ";"-list cannot carry (";" inside, blanks around):
    // SeekField shows their names. They are kept by place and name, and used while the
    // dataset still holds them there; otherwise SeekField is resolved as text.
    void setSeekFields(const std::vector<data::Field *> &fields);
    // Mask (data layer syntax) for the edits of date and date-time fields; empty: none.
    QString EditMask() const { return editMask_; }
    void setEditMask(const QString &mask) { editMask_ = mask; }
    TEditCharCase CharCase() const { return charCase_; }
    void setCharCase(TEditCharCase charCase) { charCase_ = charCase; }
    data::TLocateOptions LocateOptions() const { return locateOptions_; }
    void setLocateOptions(data::TLocateOptions options) { locateOptions_ = options; }

    // Names of the seek fields that get a question button (created on first use).
    QStringList &Question();
    void setQuestion(const QStringList &lines) { question_ = lines; }
    bool hasQuestion() const { return question_.has_value(); }
    TQuestionClickEvent OnQuestionClick;

    // Line i (from 1) not empty: the i-th seek field's edit uses the input method ImeName.
    QStringList &ImeNameList();
    void setImeNameList(const QStringList &lines) { imeNameList_ = lines; }
    bool hasImeNameList() const { return imeNameList_.has_value(); }
    QString ImeName() const { return imeName_; }
    void setImeName(const QString &name) { imeName_ = name; }

    QString HelpFile() const { return helpFile_; }
    void setHelpFile(const QString &file) { helpFile_ = file; }
    int HelpContext() const { return helpContext_; }
    void setHelpContext(int topic) { helpContext_ = topic; }

    // Anchor for placing the dialog: right-aligned at Left + Width, at Top, when the
    // dialog is narrower than Left; centred on the screen otherwise.
    int Left() const { return left_; }
    void setLeft(int left) { left_ = left; }
    int Top() const { return top_; }
    void setTop(int top) { top_ = top; }
    int Width() const { return width_; }
    void setWidth(int width) { width_ = width; }

    // Shows the dialog and returns when it has closed.
    void Execute();
    bool Found() const { return found_; }

private:
    struct GivenField {
        int index;
        QString name;
    };
    std::vector<data::Field *> givenFieldsStillThere() const;

    QPointer<data::Dataset> dataSet_;
    QString seekField_;
    std::vector<GivenField> givenFields_;
    QString editMask_;
    TEditCharCase charCase_ = ecNormal;
    data::TLocateOptions locateOptions_ = data::loPartialKey;
    std::optional<QStringList> question_;
    std::optional<QStringList> imeNameList_;
    QString imeName_;
    QString helpFile_;
    int helpContext_ = 0;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    bool found_ = false;
};

} // namespace components
