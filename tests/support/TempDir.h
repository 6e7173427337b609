#pragma once
// A fresh directory under the system's temporary folder for one test, removed with
// everything in it when the object goes. Nothing here touches the home directory.

#include <string>

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // Empty when the directory could not be made.
    [[nodiscard]] const std::string& Path() const { return m_strPath; }
    // `name` inside the directory ("a/b" for a file in a subfolder).
    [[nodiscard]] std::string File(const std::string& name) const { return m_strPath + "/" + name; }

private:
    std::string m_strPath;
};
