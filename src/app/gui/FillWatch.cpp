#include "FillWatch.h"
#include "BatchStop.h"
#include "data/core/Dataset.h"
#include "platform/UiServices.h"
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

namespace gui {

namespace {

const QString kProgressLead = QStringLiteral("讀取資料中：");
const QString kWaitLead = QStringLiteral("等待資料讀取完成：");
const QString kFillStopHint = QStringLiteral("停止讀取其餘的資料 (Esc)"); // the fill's and its wait's button

QString arrivedText(long long rows)
{
    return QStringLiteral("已讀入 %1 筆 (按 Esc 或 [停止] 停止讀取)").arg(rows);
}

} // namespace

QString fillProgressText(long long rows)
{
    return kProgressLead + arrivedText(rows);
}

QString fillWaitText(long long rows)
{
    return kWaitLead + arrivedText(rows);
}

QString fillStoppedText(long long rows)
{
    return QStringLiteral("已停止讀取資料：保留已讀入的 %1 筆").arg(rows);
}

FillWatch::FillWatch(data::Dataset &dataset, QLabel *panel, QWidget *window)
    : dataset_(dataset), panel_(panel), window_(window)
{
    connect(&dataset_, &data::Dataset::stateChanged, this, &FillWatch::follow);
    connect(&dataset_, &data::Dataset::rowsArrived, this, &FillWatch::showCount);
    connect(&dataset_, &data::Dataset::fillEnded, this, &FillWatch::end);
    connect(&dataset_, &data::Dataset::fillFailed, this, [this](const QString &message) {
        platform::ui().showMessage(window_, QStringLiteral("錯誤"), message, platform::MessageIcon::Stop, false);
    });
}

FillWatch::~FillWatch()
{
    if (watching_)
        qApp->removeEventFilter(this);
    delete button_;
}

void FillWatch::follow()
{
    if (dataset_.Fetching() && !watching_)
        begin();
}

void FillWatch::begin()
{
    watching_ = true;
    if (panel_) {
        before_ = panel_->text();
        button_ = addPanelStopButton(panel_, QStringLiteral("btnStopFill"), kFillStopHint);
        connect(button_, &QToolButton::clicked, &dataset_, &data::Dataset::StopFill);
    }
    qApp->installEventFilter(this);
    showCount();
}

void FillWatch::showCount()
{
    if (watching_ && panel_)
        panel_->setText(fillProgressText(dataset_.FetchedCount()));
}

void FillWatch::end()
{
    if (!watching_)
        return;
    watching_ = false;
    qApp->removeEventFilter(this);
    delete button_;
    if (!panel_)
        return;
    if (dataset_.Active() && dataset_.FillStopped())
        panel_->setText(fillStoppedText(dataset_.FetchedCount()));
    else if (panel_->text().startsWith(kProgressLead))
        panel_->setText(before_); // unless something else wrote the panel meanwhile
}

bool FillWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        dataset_.Fetching() && dataset_.State() == data::dsBrowse && window_ &&
        QApplication::activeWindow() == window_) {
        dataset_.StopFill();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

namespace {

// A wait for all rows: the batch stop in the panel, with the count of rows so far.
class PanelFillWait final : public data::Dataset::FillWait {
public:
    explicit PanelFillWait(QLabel *panel)
        : panel_(panel), before_(panel->text()),
          stop_(panel, QStringLiteral("btnStopFillWait"), kFillStopHint)
    {
    }
    ~PanelFillWait() override
    {
        if (panel_ && panel_->text().startsWith(kWaitLead))
            panel_->setText(before_);
    }
    bool progress(const data::Dataset &dataset) override
    {
        return !stop_.showProgress(fillWaitText(dataset.FetchedCount()));
    }

private:
    QPointer<QLabel> panel_;
    QString before_;
    BatchStop stop_;
};

} // namespace

void installFillWait(QLabel *panel)
{
    QPointer<QLabel> target(panel);
    data::Dataset::setFillWaitFactory([target](const data::Dataset &) -> std::unique_ptr<data::Dataset::FillWait> {
        if (!target)
            return nullptr;
        return std::make_unique<PanelFillWait>(target.data());
    });
}

void removeFillWait()
{
    data::Dataset::setFillWaitFactory(nullptr);
}

} // namespace gui
