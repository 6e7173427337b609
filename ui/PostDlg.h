#pragma once
// The Post Ringtone dialog ("Post Ringtone"): the ringtone's name (at most 32
// characters) and category, the upload's status line, "POST" (the default button)
// and "Back". It drives an opened CPostController: POST checks the name and the
// category and, when they pass, runs the transfer on a thread of its own while the
// dialog stays responsive with both buttons disabled. Back, Esc and the close box
// end the dialog in every state but uploading.
//
// Controls carry the object names "control<id>" of ControlId::Post (ui/ControlIds.h).

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <thread>

#include "upload/PostController.h"
#include "ui/QtStatusLine.h"

class CHttpTransport;
class CPrompt;
class CSettingsStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CPostDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxToneName = 32;
    // How often the dialog shows the transfer's progress, milliseconds.
    static constexpr int kPollMs = 15;

    // Everything is borrowed for the dialog's life; `controller` must have been
    // opened. The messages of POST go to `prompt`.
    CPostDlg(CPostController& controller, const CSettingsStore& settings, CPrompt& prompt, CHttpTransport& transport,
             QWidget* pParent = nullptr);
    // Waits for a transfer that is still running (its time-outs bound the wait).
    ~CPostDlg() override;

    [[nodiscard]] PostState State() const { return m_controller.State(); }
    [[nodiscard]] QString StatusText() const;

signals:
    // Each text the status line shows, in order.
    void statusShown(const QString& text);
    // A transfer has ended and its result has been shown.
    void postFinished();

public slots:
    // POST: never closes the dialog.
    void OnOK();
    // Back and the close box: refused while uploading.
    void reject() override;

private slots:
    void ShowStatus(const QString& text);
    // Shows the texts the transfer has set; once it has ended, its result.
    void OnPollTransfer();

private:
    void BuildControls();
    void UpdateButtons();

    CPostController& m_controller;
    const CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CHttpTransport& m_transport;
    CQtStatusLine m_statusLine;
    QTimer m_pollTimer;
    std::atomic<bool> m_bTransferDone{false};
    std::thread m_worker;

    QLineEdit* m_pToneName = nullptr;
    QComboBox* m_pCategory = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pPost = nullptr;
    QPushButton* m_pBack = nullptr;
};
