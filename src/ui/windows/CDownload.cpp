#include "ui/windows/CDownload.h"
#include "base/KORAParameterIds.h"

#include "base/VerloException.h"
#include "model/ControlParameter.h"
#include "model/ParameterSet.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/MessageDialog.h"
#include "ui/look/WaitCursor.h"
#include "ui/look/WindowFrame.h"
#include "ui/windows/ConfirmDownloadDialog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/ModalRunner.h"
#include "ui/windows/OpenWindowRegistration.h"
#include "ui/windows/UnitWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

const ParameterId downloadProgress(std::uint16_t{0x0928});

QLabel* addStatic(int id, const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    setControlId(label, id);
    return label;
}

CxShadeButton* addButton(const QString& caption, int id) {
    auto* button = new CxShadeButton(caption);
    setControlId(button, id);
    button->setMinimumSize(100, 28);
    return button;
}

ControlParameter& progressParameter(ParameterSet& set) {
    return set.controlParameters().find(downloadProgress);
}

} // namespace

CDownload::CDownload(ParameterSet& parameterSet, UnitWindow& mainWindow,
                     KORAExceptionHandler& exceptionHandler, Clock& clock, QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent), mainWindow_(mainWindow),
      exceptionHandler_(exceptionHandler), clock_(clock),
      controller_(&parameterSet, &exceptionHandler),
      progress_(std::make_unique<DownloadProgressCommand>(progressParameter(parameterSet))) {
    setWindowTitle(QStringLiteral("Update Software"));
    setModal(true);
    timer_.setInterval(kTimerInterval);
    connect(&timer_, &QTimer::timeout, this, &CDownload::timerTick);

    selectButton_ = addButton(QStringLiteral("&Select File"), kSelectFileButton);
    startButton_ = addButton(QStringLiteral("S&tart Update"), kStartUpdateButton);
    closeButton_ = addButton(QStringLiteral("&Close"), kCloseButton);
    connect(selectButton_, &QPushButton::clicked, this, &CDownload::selectFile);
    connect(startButton_, &QPushButton::clicked, this, &CDownload::startUpdate);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&mainWindow, &UnitWindow::parameterSetChanged, this, &CDownload::followConnection);
    connect(&mainWindow, &UnitWindow::reopenFinished, this, &CDownload::reopenFinished);

    versionText_ = addStatic(kVersionText, QStringLiteral("88.88.88.88"));
    fileNameText_ = addStatic(kFileNameText, QStringLiteral("None"));
    stateLabel_ = addStatic(kStateLabel, QStringLiteral("Progress"));
    percentText_ = addStatic(kPercentText, QStringLiteral("100"));
    percentText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    percentSign_ = addStatic(kPercentSign, QStringLiteral("%"));
    progressBar_ = new QProgressBar;
    progressBar_->setTextVisible(false);
    progressBar_->setMinimumWidth(260);
    setControlId(progressBar_, kProgressBar);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    auto* details = new QGridLayout;
    details->addWidget(new QLabel(QStringLiteral("Current Firmware Version")), 0, 0);
    details->addWidget(versionText_, 0, 1);
    details->addWidget(new QLabel(QStringLiteral("Selected File:")), 1, 0);
    details->addWidget(fileNameText_, 1, 1);
    details->setColumnStretch(1, 1);
    layout->addLayout(details);

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(stateLabel_);
    progressRow->addStretch();
    progressRow->addWidget(percentText_);
    progressRow->addWidget(percentSign_);
    layout->addLayout(progressRow);
    layout->addWidget(progressBar_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(selectButton_);
    buttons->addWidget(startButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);

    // What the window shows when it opens.
    bindDisplays();
    fileNameText_->setText(QStringLiteral("None"));
    startButton_->setEnabled(false);
    for (CxShadeButton* button : {selectButton_, startButton_, closeButton_}) {
        button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    }
}

CDownload::~CDownload() {
    timer_.stop();
    // Whatever ends the dialog, the handler must not stay silenced.
    if (state_ == State::Rebooting) {
        controller_.setHandlerBusy(false);
    }
}

void CDownload::reject() {
    // Escape and the window's close box must not interrupt a transfer or
    // the reboot wait either.
    if (timer_.isActive()) {
        if (state_ == State::Rebooting && mayStopWaiting_) {
            stopWaiting();
        }
        return;
    }
    // A failed step left the transfer stopped with the main window's
    // polling paused; a failure the handler kept the connection for does
    // not resume it.
    if (state_ == State::Downloading) {
        mainWindow_.startPolling();
    }
    PaletteDialog::reject();
}

int CDownload::openFrom(Win32Controller& controller, QWidget* parent) {
    auto* handler = dynamic_cast<KORAExceptionHandler*>(controller.exceptionHandler());
    if (handler == nullptr) {
        throw VerloException("invalid exception handler");
    }
    if (controller.parameterSet() == nullptr) {
        throw VerloException("No parameter set to download through");
    }
    // The unit's handler serves the main window it was made for.
    CDownload dialog(*controller.parameterSet(), handler->mainWindow(), *handler, Clock::system(),
                     parent);
    const OpenWindowRegistration registration(*handler, &dialog);
    return ModalRunner::run(dialog);
}

void CDownload::bindDisplays() {
    controller_.bindControlText(versionText_, KORAParameterIds::firmwareVersion);
    controller_.bindControlText(percentText_, downloadProgress);
    controller_.bindProgressBar(progressBar_, downloadProgress);
}

void CDownload::selectFile() {
    FileRequest request;
    request.mode = FileRequest::Mode::Open;
    request.caption = QStringLiteral("Open");
    request.filter = QStringLiteral("Binary Files (*.bin);;All Files (*)");
    request.defaultSuffix = QStringLiteral("bin");
    const QString path = ModalRunner::current().chooseFile(this, request);
    if (path.isEmpty()) {
        return;
    }
    // A failed check leaves the image selected before (or none): show and
    // offer to send only what would really be sent.
    if (exceptionHandler_.guard(ExceptionHandler::kImageSelection,
                                [&] { controller_.selectImage(path.toStdString(), *progress_); })) {
        update(fileNameText_->geometry());
        fileNameText_->setText(QString::fromStdString(controller_.imageName()));
    }
    startButton_->setEnabled(canStart());
}

void CDownload::startUpdate() {
    const FirmwareImage* image = controller_.image();
    if (image == nullptr) {
        return;
    }
    ConfirmDownloadDialog confirm(QString::fromStdString(controller_.imageName()), *image, this);
    if (ModalRunner::run(confirm) != QDialog::Accepted) {
        return;
    }
    mainWindow_.stopPolling();
    enterState(State::Downloading);
}

void CDownload::timerTick() {
    // Stopped while the step runs: a failure's dialog runs an event loop of
    // its own, in which no further step may start. A failed step leaves the
    // transfer stopped where it was; "Start Update" goes on from there.
    timer_.stop();
    if (exceptionHandler_.guard(ExceptionHandler::kFirmwareStep, [this] { step(); })) {
        if (state_ != State::Idle) {
            timer_.start();
        }
        return;
    }
    // The handler may have gone off line, where nothing can be sent.
    enableButtons(true);
}

void CDownload::step() {
    switch (state_) {
    case State::Downloading:
        if (!sendChunk()) {
            enterState(State::Rebooting);
        } else if (const unsigned restarts = controller_.downloadRestarts(); restarts > 0) {
            stateLabel_->setText(QStringLiteral("Downloading (restart %1 of %2)")
                                     .arg(restarts)
                                     .arg(FirmwareDownload::maximumRestarts));
        }
        break;
    case State::Rebooting:
        rebootTick();
        break;
    case State::Idle:
        break;
    }
}

void CDownload::rebootTick() {
    // Signed and truncating toward zero: over one wait p rises from 0 to 100.
    const auto waited =
        std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - rebootDeadline_);
    const std::int64_t p = waited * 100 / kRebootWait + 100;
    if (p >= 100) {
        rebootDeadline_ += kRebootWait;
    }
    // Directly: Download Progress stays 0 during the wait.
    progressBar_->setValue(static_cast<int>(p));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - rebootStart_);
    stateLabel_->setText(reopenAttempts_ == 0
                             ? QStringLiteral("Rebooting: %1 s").arg(seconds.count())
                             : QStringLiteral("Rebooting: %1 s, attempt %2")
                                   .arg(seconds.count())
                                   .arg(reopenAttempts_));
    if (p >= 100 && !mayStopWaiting_) {
        mayStopWaiting_ = true;
        closeButton_->setText(QString::fromUtf8(kStopWaiting));
        closeButton_->setEnabled(true);
    }
    if (p < 30 || p % 10 != 0 || reopening_) {
        return;
    }
    reopening_ = true;
    ++reopenAttempts_;
    mainWindow_.beginReopen();
}

void CDownload::reopenFinished(bool opened) {
    reopening_ = false;
    if (!opened || state_ != State::Rebooting) {
        return;
    }
    enterState(State::Idle);
    bindDisplays();
    // An image carries no version to compare with: when the burn went
    // unconfirmed, the operator judges by the version the unit now reports.
    const QString outcome =
        controller_.downloadOutcome() == FirmwareDownload::Outcome::Unknown
            ? QStringLiteral("The unit did not confirm the burn: the outcome of the update is "
                             "unknown.\nThe unit now reports firmware version %1.")
                  .arg(versionText_->text())
            : QStringLiteral("Firmware Upgraded\nThe unit now reports firmware version %1.")
                  .arg(versionText_->text());
    MessageDialog upgraded(MessageDialog::kTemplateId, outcome, this);
    ModalRunner::run(upgraded);
    exceptionHandler_.closeOpenWindows();
}

bool CDownload::sendChunk() {
    const WaitCursor waiting;
    return controller_.sendNextChunk();
}

void CDownload::enterState(State state) {
    update(stateLabel_->geometry());
    state_ = state;
    switch (state) {
    case State::Idle:
        percentText_->show();
        percentSign_->show();
        controller_.setHandlerBusy(false);
        timer_.stop();
        mayStopWaiting_ = false;
        closeButton_->setText(QStringLiteral("&Close"));
        enableButtons(true);
        stateLabel_->setText(QStringLiteral("Progress"));
        break;
    case State::Downloading:
        percentText_->show();
        percentSign_->show();
        controller_.setHandlerBusy(false);
        timer_.start();
        enableButtons(false);
        stateLabel_->setText(QStringLiteral("Downloading"));
        break;
    case State::Rebooting:
        percentText_->hide();
        percentSign_->hide();
        controller_.setHandlerBusy(true);
        stateLabel_->setText(QStringLiteral("Rebooting"));
        rebootStart_ = clock_.now();
        rebootDeadline_ = rebootStart_ + kRebootWait;
        reopenAttempts_ = 0;
        reopening_ = false;
        progressBar_->setValue(0);
        break;
    }
}

void CDownload::enableButtons(bool enabled) {
    selectButton_->setEnabled(enabled);
    startButton_->setEnabled(enabled && canStart());
    closeButton_->setEnabled(enabled);
}

// Off line the simulated unit takes any image and is "back" at once, so a
// transfer there would announce an upgrade that never happened.
bool CDownload::canStart() const {
    return controller_.hasImage() && controller_.hasDevice();
}

void CDownload::stopWaiting() {
    enterState(State::Idle);
    exceptionHandler_.dropConnection();
    MessageDialog notBack(MessageDialog::kTemplateId, QString::fromUtf8(kNotBack), this);
    ModalRunner::run(notBack);
}

void CDownload::followConnection() {
    ParameterSet* current = mainWindow_.parameterSet();
    // Without a set the next chunk fails with VerloException rather than
    // reaching the destroyed one.
    controller_.setParameterSet(current);
    if (current == nullptr) {
        return;
    }
    *progress_ = DownloadProgressCommand(progressParameter(*current));
    // Each failed attempt to reconnect falls back on the simulated unit,
    // whose values would only mislead while the real one reboots.
    if (state_ != State::Rebooting) {
        bindDisplays();
    }
}
