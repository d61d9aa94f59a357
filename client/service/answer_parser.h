#pragma once
#include "feed_request.h"

#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class Downloader;
class FeedStore;
class MessageSink;
class PictureCache;

// What the parser writes to and reports through; borrowed for one call.
struct ParseContext {
    FeedStore& store;
    MessageSink& sink;
    const PictureCache& cache;
    Downloader& downloader;
    FeedStarter& starter;
};

// Reads the answer stored for `request` back from the store and parses it.
// False when nothing is stored or the answer is unusable: not JSON, or a
// value of a type its layout does not allow. An unusable answer stores
// nothing, so the lists keep what they held.
bool ParseAnswer(const ParseContext& context, const FeedRequest& request);
// The same for an answer text at hand.
bool ParseAnswerText(const ParseContext& context, const FeedRequest& request, std::string_view text);

// The entries (id, code) of a category list answer; false when it is not
// usable: not JSON, no array, a value of a refused type, or no entry.
bool ReadCategoryList(std::string_view text, std::vector<std::pair<std::string, std::string>>& entries);

// The details view's time: "YYYY-MM-DD h:m:s", no leading zeros on the time.
std::string FormatDetailsTime(const std::tm& time);
// From decimal seconds since 1970 to local time; empty when the text does
// not start with a number or the time cannot be converted.
std::string DetailsTimeFrom(const std::string& seconds);
