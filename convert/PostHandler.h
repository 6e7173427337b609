#pragma once
// Where a built ringtone package goes next: the desktop program opens the Post
// Ringtone dialog, the command-line tool posts or keeps the file.

#include <string>

class CPostHandler {
public:
    virtual ~CPostHandler() = default;
    // packagePath names the compressed package in the temporary directory;
    // toneName is the ringtone name cut to 10 characters. Returns whether the
    // package was taken (shown or posted); the conversion succeeds either way.
    virtual bool OpenPost(const std::string& packagePath, const std::string& toneName) = 0;
};
