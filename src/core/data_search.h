// data_search.h: where the game's data files (the sheets' images and the sounds) are looked for.
// They keep their bare file names (the registry's keys and the console lines); only the file
// read changes.
#pragma once
#include <string>
#include <vector>

// Folders searched in order for each file; the first that holds a regular file of the name
// wins. Empty (the default) reads the bare name in the working folder, as a plain start does.
void setDataFolders(std::vector<std::string> folders);
const std::vector<std::string>& dataFolders();

// The file to read for fileName: the bare name when no folders are set, else folder/fileName of
// the first folder holding it; empty when no folder holds it.
std::string findDataFile(const std::string& fileName);
