#pragma once
#include <string>

// What a screen reader says for the service's pictures and comments: the
// service's text made safe to speak (see ReadableText), never silent.

// A picture's text, or 无标题图片 when it has none worth reading.
std::wstring ReaderPictureTitle(const std::string& content);
// "作者：" and the author's name, 未知用户 when the service gave none.
std::wstring ReaderAuthor(const std::string& authorName);
// A comment row as one line: who wrote it, then what they wrote.
std::wstring ReaderComment(const std::string& authorName, const std::string& content);
