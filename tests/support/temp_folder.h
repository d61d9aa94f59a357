#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform.h"

// A fresh folder for one test, removed with its files at the end.
class TempFolder {
public:
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
#ifdef _WIN32
        if (!base)
            base = std::getenv("TEMP");
#endif
        path_ = std::string(base ? base : "/tmp") + platform::kPathSeparator + "quarn-test-" + platform::UniqueSuffix();
        platform::CreateDirectoryTree(path_);
    }
    ~TempFolder()
    {
#ifdef _WIN32
        std::string command = "rmdir /s /q \"" + path_ + "\" >nul 2>nul";
#else
        std::string command = "rm -rf '" + path_ + "'";
#endif
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Root() const { return path_; }
    std::string Path(const std::string& name) const { return path_ + platform::kPathSeparator + name; }

    std::string Write(const std::string& name, const std::string& bytes) const { return WriteAt(Path(name), bytes); }

    // Writes a file at a full path, making its folder first.
    static std::string WriteAt(const std::string& path, const std::string& bytes)
    {
        std::string::size_type cut = path.find_last_of(platform::kPathSeparator);
        if (cut != std::string::npos)
            platform::CreateDirectoryTree(path.substr(0, cut));
        std::FILE* file = platform::OpenFile(path, "wb");
        if (file) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }

    // The file:// address of a full path, as curl would read it on this system.
    static std::string FileUrl(std::string path)
    {
        for (char& c : path)
            c = c == '\\' ? '/' : c;
        return path.front() == '/' ? "file://" + path : "file:///" + path;
    }

    static std::string Read(const std::string& path)
    {
        std::string bytes;
        std::FILE* file = platform::OpenFile(path, "rb");
        if (!file)
            return bytes;
        char block[4096];
        std::size_t got;
        while ((got = std::fread(block, 1, sizeof block, file)) > 0)
            bytes.append(block, got);
        std::fclose(file);
        return bytes;
    }

private:
    std::string path_;
};
