#pragma once
// The About window: the program's name and version and, while a receiver is ours to question,
// its report with Refresh, "Save to file" and "Report". The rules are TAboutLogic's.
#include "info/Aboutlogic.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

class TAboutForm : public QDialog, private telvor::TAboutView {
    Q_OBJECT
public:
    TAboutForm(const telvor::TAboutContext& context, const telvor::TProfile& profile,
               telvor::TProgramInfo program, QWidget* parent = nullptr);
    ~TAboutForm() override;

    telvor::TAboutLogic& logic() { return logic_; }
    // Replaces the save dialog (tests): folder and proposed name in, chosen path out.
    using TSaveDialog = std::function<std::string(const std::string&, const std::string&)>;
    void setSaveDialog(TSaveDialog dialog) { saveDialog_ = std::move(dialog); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showReceiverPanel(bool visible) override;
    void setMemo(const std::vector<std::string>& lines) override;
    void setStatus(const std::string& text) override;
    void showNotice(const std::string& text) override;
    void closeNotice() override;
    std::string askSaveFile(const std::string& folder, const std::string& proposed) override;

    telvor::TAboutLogic logic_;
    QWidget* panel_;
    QPlainTextEdit* memo_;
    QLabel* status_;
    QPushButton* refresh_;
    QPushButton* save_;
    QPushButton* report_;
    QDialog* notice_ = nullptr;
    TSaveDialog saveDialog_;
    bool started_ = false;
};
