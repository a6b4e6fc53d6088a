#pragma once
// Writing the command's own files without following what a name already holds: a symbolic
// link, a device or a FIFO planted under an output name is never written through.

#include <string>
#include <string_view>
#include <vector>

// Opens Path for writing, emptied: a new file, or a regular file that is there already.
// Anything else at the name (a symbolic link, a device, a FIFO, a directory) is left alone: -1
// with NotRegular set. -1 with NotRegular clear when the file cannot be opened for another
// reason.
int OpenRegularFileForWriting(const std::string& Path, bool& NotRegular);

// Writes all of Bytes to Fd.
bool WriteAll(int Fd, std::string_view Bytes);

// A name of the picture files written beside pages (kivBMP<n>.bmp).
bool IsPictureFileName(const std::string& Name);
// The picture files of the page at PagePath: the kivBMP<n>.bmp files beside it that its
// file: URLs name. A page that cannot be read has none.
std::vector<std::string> PicturesOfPage(const std::string& PagePath);
// Removes those of Paths that are regular files still (not what a link there points to).
void RemovePictures(const std::vector<std::string>& Paths);
