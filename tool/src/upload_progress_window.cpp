#include "upload_progress_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

namespace parbex {
namespace {

constexpr int kTickMs = 1000;

}  // namespace

UploadProgressWindow::UploadProgressWindow(const QString& file, qint64 bytes, const QString& unit, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    auto* fileLabel = new QLabel(
        QStringLiteral("Uploading %1 (%2)").arg(QFileInfo(file).fileName(), QLocale().formattedDataSize(bytes)), this);
    fileLabel->setObjectName(QStringLiteral("fileLabel"));
    fileLabel->setToolTip(file);
    auto* unitLabel = new QLabel(QStringLiteral("to %1").arg(unit), this);
    unitLabel->setObjectName(QStringLiteral("unitLabel"));
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    m_timeSoFar = new QLabel(this);
    m_timeSoFar->setObjectName(QStringLiteral("timeSoFarLabel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addWidget(unitLabel);
    layout->addWidget(bar);
    layout->addWidget(m_timeSoFar);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setModal(false);
    setWindowTitle(QStringLiteral("Upload File"));
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(kShowAfterMs);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        ShowTimeSoFar();
        show();
        m_tickTimer.start();
    });
    m_tickTimer.setInterval(kTickMs);
    connect(&m_tickTimer, &QTimer::timeout, this, &UploadProgressWindow::ShowTimeSoFar);
}

void UploadProgressWindow::Start() {
    m_elapsed.start();
    m_showTimer.start();
}

void UploadProgressWindow::ShowTimeSoFar() {
    const qint64 seconds = m_elapsed.elapsed() / 1000;
    m_timeSoFar->setText(QStringLiteral("Time so far: %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void UploadProgressWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void UploadProgressWindow::keyPressEvent(QKeyEvent* event) {
    // Esc would reject the dialog, which hides it.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

}  // namespace parbex
