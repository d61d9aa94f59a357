#include "reader_text.h"

#include "skinkit/accessible_facts.h"

namespace {

std::wstring Author(const std::string& authorName)
{
    const std::wstring name = ReadableText(authorName, 40);
    return name.empty() ? L"未知用户" : name;
}

}  // namespace

std::wstring ReaderPictureTitle(const std::string& content)
{
    const std::wstring title = ReadableText(content);
    return title.empty() ? L"无标题图片" : title;
}

std::wstring ReaderAuthor(const std::string& authorName) { return L"作者：" + Author(authorName); }

std::wstring ReaderComment(const std::string& authorName, const std::string& content)
{
    const std::wstring text = ReadableText(content);
    return text.empty() ? Author(authorName) : Author(authorName) + L"：" + text;
}
