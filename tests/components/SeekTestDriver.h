// Runs TwSeek::Execute with steps that act on its dialog once it is shown and active,
// inside the dialog's own modal loop, as a person at the keyboard would; and a small
// customer table to search in.
#pragma once

#include "components/SeekDialog.h"
#include "components/SeekEdit.h"
#include "components/wSeek.h"
#include "support/GuiDriver.h"
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace seektest {

using Steps = std::function<void(components::TfmSeek *dialog)>;

// Executes `seek`; `steps` run on the active dialog. A dialog the steps leave open, or
// a failed check inside them, closes it so that the test goes on. True when the steps ran.
inline bool execute(components::TwSeek &seek, Steps steps)
{
    bool ran = false;
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, &ran, steps] {
        auto *dialog = qobject_cast<components::TfmSeek *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        ran = true;
        QPointer<components::TfmSeek> guard(dialog);
        if (drive::showActive(dialog))
            steps(dialog);
        else
            QTest::qFail("the seek dialog did not become active", __FILE__, __LINE__);
        if (guard && guard->isVisible()) {
            if (!QTest::currentTestFailed())
                QTest::qFail("the steps left the seek dialog open", __FILE__, __LINE__);
            guard->done(QDialog::Rejected);
        }
    });
    poll->start();
    seek.Execute();
    return ran;
}

inline components::SeekEdit *focusedEdit()
{
    return qobject_cast<components::SeekEdit *>(drive::focused());
}

} // namespace seektest
