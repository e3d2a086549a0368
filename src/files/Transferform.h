#pragma once
// The file manager window: the receiver's files with size and date, total and free memory,
// downloads into a chosen folder and deletion. The rules are TFileManager's.
#include "files/Filemanager.h"
#include "files/Logsheetform.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeView;
class QTreeWidget;
class QFileSystemModel;

class TFileDownloadForm : public QDialog,
                          private telvor::TFileManagerView,
                          private telvor::TFileQuestions {
    Q_OBJECT
public:
    explicit TFileDownloadForm(telvor::TProfile& profile, QWidget* parent = nullptr);
    ~TFileDownloadForm() override;

    telvor::TFileManager& logic() { return logic_; }
    // The "Current log file" page; it carries the main window's recording interval.
    telvor::TLogSheet& logSheet() { return *logSheet_; }
    // Replace the question boxes (tests): title and text in, Yes out.
    using TAsk = std::function<bool(const std::string&, const std::string&)>;
    void setAsk(TAsk ask) { ask_ = std::move(ask); }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // TTransferView / TFileManagerView
    void setProgress(int percent) override;
    void setStatus(const std::string& text) override;
    void showBlocks(int value) override;
    void showRetries(int count) override;
    void enableStop(bool on) override;
    void setTotal(const std::string& text) override;
    void setFree(const std::string& text) override;
    void showRows() override;
    void enableControl(telvor::TFileControl control, bool on) override;
    void setDownloadCaption(const std::string& caption) override;
    void focusList() override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    telvor::TFileQuestions* fileQuestions() override { return this; }
    void stopLogTimer() override;
    void startLogTimer() override;
    bool logPageShown() const override;
    void refreshLogPage() override;
    // TFileQuestions
    TAnswer overwriteOrAppend(const std::string& path) override;
    bool confirmOverwrite(const std::string& path) override;

    void buildDownloadSheet(QWidget* sheet);
    void buildDirSheet(QWidget* sheet);
    void syncSelection();
    void renameSelected();
    void setOutputPath(const QString& path);
    // The log page's side of the form (Transferlogform.cpp).
    telvor::TLogSheet::THost logSheetHost();
    void hookLogSheet();
    void logPageChanged();
    void logStartClick();

    telvor::TFileManager logic_;
    telvor::TLogSheet* logSheet_ = nullptr;
    QTabWidget* pages_;
    QTreeWidget* list_;
    QLabel *outputPath_, *blocks_, *retries_, *total_, *free_, *progress_, *status_;
    QComboBox *source_, *blockSize_;
    QCheckBox *exclusive_, *print_;
    QPushButton *ok_, *delete_, *refresh_, *exit_, *createDir_;
    QLineEdit* newFolder_;
    QTreeView* dirs_;
    QFileSystemModel* dirModel_;
    QList<QAction*> popup_;
    TAsk ask_;
    bool started_ = false;
    bool filling_ = false;
};
