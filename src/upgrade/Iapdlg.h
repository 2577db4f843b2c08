#pragma once

// TfrmIAP: the console's firmware upgrade window. It follows the boot loader's conversation
// on its own comm port, keeps a history of firmware files and its settings in the program's
// INI file, and gives the port up while an outside programming tool is in use.

#include <QDialog>
#include <memory>

#include "BootConversation.h"
#include "FileHistory.h"
#include "IapPort.h"

class IniFile;
class Prompt;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;

// The exact main-window title of the outside in-system programming tool.
extern const char* const OutsideToolTitle;

class TfrmIAP : public QDialog, private BootView {
    Q_OBJECT
public:
    TfrmIAP(std::unique_ptr<IapPort> port, IniFile& ini, Prompt& prompt, QWidget* parent = nullptr);
    ~TfrmIAP() override;

    void btnClearMsgClick();
    void btnSelectFileClick();
    void btnHisFileClick();
    void HistoryItemClick(const QString& path);
    void btnComportClick();
    void btnSetClick();
    void chkAutoClick();
    void chkDisPowerDataClick();
    void aplctnvnts1Activate();
    void aplctnvnts1Deactivate();
    void tmr1Timer();
    void UpdatePortStatus();
    // Esc and the close box: asks first while a transfer runs.
    void reject() override;

    const TBootConversation& Conversation() const { return conversation_; }
    IapPort& Port() { return *nxcmdvc1; }
    const TFileHistory& History() const { return history_; }

    QGroupBox* grpFileName;
    QLineEdit* edtFileName;
    QPushButton* btnSelectFile;
    QPushButton* btnHisFile;
    QLabel* lblCrc;
    QPushButton* btnClearMsg;
    QCheckBox* chkAuto;
    QCheckBox* chkDisPowerData;
    QTabWidget* nbMain;
    QPushButton* btnComport;
    QPushButton* btnSet;
    QListWidget* ListBox1;
    QProgressBar* pbMain;
    QStatusBar* statMain;
    QLabel* panels[5];
    QMenu* pmHisFile;
    QTimer* tmr1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // BootView: what the conversation shows.
    void AddMessage(const QString& text) override;
    void ShowCrc(const QString& caption) override;
    void ShowReceivedText(const uint8_t* bytes, int count) override;
    void ShowProgress(uint32_t maximum, uint32_t position) override;
    void ShowSentBytes(int count) override;
    void ShowReceivedBytes(int count) override;
    void PortClosed() override;
    void LineFailed(const LineLoss& loss) override;

    // While a transfer runs nothing may take its port away: true, with a list line, then.
    bool RefusedDuringTransfer();
    void ShowTransferLock(bool sending);

    void BuildControls();
    void LoadSettings();
    void SaveSettings();
    void BuildHistoryMenu();
    bool OnSerialPage() const;
    void ShowOpenPort(const QString& status);
    void ShowClosedPort(const QString& status);
    QString PortText() const;

    std::unique_ptr<IapPort> nxcmdvc1;
    IniFile& ini_;
    Prompt& prompt_;
    TBootConversation conversation_;
    TFileHistory history_;
    bool bAuto = false;
    bool bDisPowerData = false;
    bool transferLock_ = false;
};
