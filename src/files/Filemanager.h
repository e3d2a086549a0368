#pragma once
// The rules of the file manager's download page, without widgets: refresh of the list and the
// memory figures, the download queue, deletion, and the settings it keeps. The window renders
// what it reports and forwards the user's actions.
#include "files/Receiverlist.h"
#include "files/Transferprotocol.h"

#include <string>
#include <vector>

namespace telvor {

class TProfile;

enum class TFileControl {
    Exit,
    Refresh,
    Download, // ButtonOK
    Delete,
    BlockSize,
    Exclusive,
    Source,
    PopupItems,
};

class TFileManagerView : public TTransferView {
public:
    virtual void setTotal(const std::string& text) = 0; // "Total memory: ... bytes"
    virtual void setFree(const std::string& text) = 0;
    // The rows changed (content, order, selection or state images): show `entries` again.
    virtual void showRows() = 0;
    virtual void enableControl(TFileControl control, bool on) = 0;
    virtual void setDownloadCaption(const std::string& caption) = 0;
    virtual void focusList() = 0;
    // A Yes/No question box; true for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    virtual TFileQuestions* fileQuestions() = 0;
    // The log page's one-second refresh: no tick may run into this page's exchanges.
    virtual void stopLogTimer() {}
    virtual void startLogTimer() {}
    virtual bool logPageShown() const { return false; }
    // The log page's own refresh: the current file and its size.
    virtual void refreshLogPage() {}
};

class TFileManager {
public:
    TFileManager(TFileManagerView& view, TProfile& profile);

    // Creation: settings, the source list, then the first refresh.
    void open();
    // The settings written at close; false while a queue runs (closing is refused).
    bool close();

    // Refresh (button and menu; `byUser`) and after a deletion: the list with the log page's
    // timer stopped, and restarted on the log page of a link that is not a TCP client.
    void refresh(bool byUser = false);
    // The list and the memory figures alone, for the log page, which keeps its timer itself.
    // False when the receiver did not answer.
    bool refreshList();
    // ButtonOK on the download page: the queue, or Stop while it runs.
    void downloadClick();
    void deleteClick();
    // "Replay": the selected file as downloaded to the computer, else the one downloaded last;
    // true when there is one (the window then closes and the main window replays it).
    bool replayClick();
    // What "Replay" chose; empty when it was not used.
    const std::string& replayPath() const { return replayPath_; }
    void columnClick(int column) { list_.ColumnClick(column); }
    void select(std::size_t row, bool on);
    void renameTarget(std::size_t row, const std::string& text);

    void setOutputPath(const std::string& path) { outputPath = path; }
    void setBlockSizeIndex(int index) { blockSizeIndex = index; }
    void setExclusive(bool on) { exclusive = on; }
    // SourceComboBox: 0 the current link, then the computer's parallel ports.
    void setSource(int index);
    // PrintCheckBox, only while it is shown.
    void setViaPrint(bool on);

    std::vector<TFileEntry>& entries() { return list_.entries; }
    bool queueRunning() const { return running_; }
    // Exclusive mode was used: the session restarts after the window closed.
    bool exclusiveUsed() const { return exclusiveUsed_; }

    std::string outputPath;
    int blockSizeIndex = 0;
    bool exclusive = false;
    bool exclusiveEnabled = true;
    bool printVisible = false;
    std::vector<std::string> sources;
    int sourceIndex = 0;

private:
    void enableIdleControls(bool on);

    TFileManagerView& view_;
    TProfile& profile_;
    TFileListView list_;
    TTransferProtocol transfer_;
    bool running_ = false;
    bool exclusiveUsed_ = false;
    std::string lastDownloaded_;
    std::string replayPath_;
};

} // namespace telvor
