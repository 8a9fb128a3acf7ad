// The small window an upload shows once it has lasted a second: which file goes to which unit, and
// the time so far. The library tells nothing of a transfer until it ends, so the bar only shows
// that the upload goes on. The window blocks nothing: the main window can still be closed, and
// closes once the upload has ended.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;

namespace parbex {

class UploadProgressWindow : public QDialog {
    Q_OBJECT

public:
    // How long an upload runs before the window shows.
    static constexpr int kShowAfterMs = 1000;

    // file: the path as shown to the user; unit: the unit as the tree names it, and its address.
    UploadProgressWindow(const QString& file, qint64 bytes, const QString& unit, QWidget* parent);

    // Counts the time from now on and shows the window once kShowAfterMs have passed.
    void Start();

protected:
    // The upload cannot be stopped: closing this window would only hide that it goes on.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowTimeSoFar();

    QLabel* m_timeSoFar;
    QElapsedTimer m_elapsed;
    QTimer m_showTimer;
    QTimer m_tickTimer;
};

}  // namespace parbex
