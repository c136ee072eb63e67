#pragma once
// TfmSeek: the dialog of TwSeek. One caption and edit per seek field (at most nine),
// a tool bar with "start" and "give up"; it checks what is typed against each field's
// type, locates the first matching record of the dataset and closes, or asks whether
// to go on when none matches. Keys act whichever edit has the focus: Enter and Down
// walk down and search from the last edit, Up walks up and searches from the first,
// F9 searches, F10 asks the field's question handler, Esc gives up, F1 shows help.
// Created for one TwSeek::Execute and destroyed after it.
#include "SeekValueCheck.h"
#include "wDBGrid.h"
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <vector>

class QFrame;
class QLabel;
class QToolBar;
class QToolButton;

namespace components {

class SeekEdit;
class TwSeek;

// Sender is the dialog; the field's question button and its edit (which the handler may
// fill). SeekEdit::fieldName() tells the field.
using TQuestionClickEvent = std::function<void(QObject *sender, QToolButton *button, SeekEdit *edit)>;

class TfmSeek : public QDialog {
    Q_OBJECT
public:
    explicit TfmSeek(QWidget *parent = nullptr);
    ~TfmSeek() override;

    // Builds the seek fields from the field list and the dataset.
    void ResolveFields();
    // Takes the seek fields as given (at most nine), without resolving names.
    void UseFields(std::vector<data::Field *> fields);
    void DoQuestionClick(QToolButton *button);

    // Controls as designed.
    QFrame *Bevel1 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *spdSeek = nullptr;
    QToolButton *spdExit = nullptr;

    // The built seek fields (index counting from 1, as their Tag).
    int count() const { return FCount; }
    SeekEdit *edit(int index) const { return FEdits.at(size_t(index - 1)); }
    QLabel *label(int index) const { return FLabels.at(size_t(index - 1)); }
    QToolButton *questionButton(int index) const { return FButtons.at(size_t(index - 1)); }
    bool found() const { return FFound; }
    QString helpFile() const { return helpFile_; }
    int helpContext() const { return helpContext_; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TwSeek;
    // Ends a key or click after a validation message: nothing more happens.
    struct SeekAbort {};

    void FormCreate();
    void FormShow();
    bool FormKeyDown(int key);
    void spdSeekClick();
    void spdExitClick();

    // Building (SeekDialogBuild.cpp).
    void addSeekField(int index);
    void addQuestionButton(int index);
    void placeControls();
    // Searching (SeekDialogSearch.cpp).
    enum class Outcome { Found, NotFound, NothingToSeek };
    bool checkEdit(SeekEdit *edit, SeekCheckMode mode);
    void search();
    Outcome locate();
    void closeDialog();
    void walkOrSearch(bool down);
    void walkFocus(bool forward);
    void askFocusedQuestion();
    void showHelp();
    SeekEdit *focusedSeekEdit() const;
    int focusedTag() const;
    // Runs a key or click: a validation ends it silently, any other error is reported
    // and leaves the dialog open.
    void guarded(const std::function<void()> &body);

    QPointer<data::Dataset> FDataSet;
    int FCount = 0;
    int FFirstIndex = 1;
    std::vector<data::Field *> FFields;
    std::vector<QLabel *> FLabels;
    std::vector<SeekEdit *> FEdits;
    std::vector<QToolButton *> FButtons; // nullptr where a field has none
    bool FFound = false;
    QString FSeekField;
    QString FDateMask;
    QString FImeName;
    data::TLocateOptions FLocateOptions = data::loPartialKey;
    TEditCharCase FCharCase = ecNormal;
    TQuestionClickEvent FOnQuestionClick;
    QStringList FQuestionList;
    QStringList FImeNameList;
    int FAnchorLeft = 0;
    int FAnchorTop = 0;
    int FAnchorWidth = 0;
    QString helpFile_;
    int helpContext_ = 0;
    bool built_ = false;
};

} // namespace components
