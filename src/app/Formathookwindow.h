#pragma once
// Hooks the file-system initialisation window into the main window's "Initialize file system".

class TMainWindow;

namespace telvor {

void hookFileSystemInit(TMainWindow& main);

} // namespace telvor
