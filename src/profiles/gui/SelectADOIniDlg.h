#pragma once
// Tfm_SelectADOIniDlg: the small borderless dialog in which the user picks one of the
// stored profiles. Only its two buttons end it (a click, or Enter or Space while the
// button has the focus): Esc, Enter in the list and the window system's close command
// do nothing.
#include "profiles/ADOConnectionINI.h"
#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace profiles {

class Tfm_SelectADOIniDlg : public QDialog {
    Q_OBJECT
public:
    enum SelectResultCode { srNone = 0, srOK = 1, srCancel = 2 };

    explicit Tfm_SelectADOIniDlg(QWidget *parent = nullptr);

    QFrame *plMain = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cbxSelectADOIni = nullptr; // pick-only, kept sorted
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    int SelectResult = srNone;

    // Adds a name at its sorted place (letter case ignored).
    void AddName(const QString &name);
    // Selects the entry equal to `name` without regard to case; none: empty text.
    void SelectName(const QString &name);

public slots:
    void btnOKClick();
    void btnCancelClick();
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override; // FormClose
    // Enter on a focused button presses it (Space does so by itself); Enter elsewhere
    // does nothing, as neither button is the default.
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

// The profile choice of the store through this dialog.
class QtProfileChooser : public ProfileChooser {
public:
    std::optional<QString> ChooseProfile(const QStringList &names, const QString &current) override;
    // The dialog while it is shown (tests answer it through this).
    static Tfm_SelectADOIniDlg *activeDialog();
};

} // namespace profiles
