#pragma once
// The TCP/IP status window: the sharing server's or client's status list, chat, counters and
// light. The rules live in TTCPSharing; the window only shows them and forwards the user's
// clicks. Its close button hides it (the sharing goes on), and it never keeps the program
// from quitting.
#include "server/Tcpsharing.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace telvor {

class TProfile;

class TTCPWindow : public QWidget {
public:
    TTCPWindow(TProfile& profile, QWidget* parent = nullptr);
    ~TTCPWindow() override;

    TTCPSharing& sharing() { return sharing_; }

    void ButtonSendClick();

protected:
    // The list is filled only while shown: a window shown again catches up.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCounters();
    void showLight(TSharingLight light);

    TProfile& profile_;
    TTCPSharing sharing_;
    QListWidget* statusList_;
    QListWidget* chatList_;
    QLineEdit* chatEdit_;
    QPushButton* sendButton_;
    QCheckBox* beepBox_;
    QLabel* sentLabel_;
    QLabel* recvLabel_;
    QLabel* errorsLabel_;
    QLabel* delayLabel_;
    QLabel* light_;
};

} // namespace telvor
