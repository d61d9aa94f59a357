#pragma once
#include "http_transport.h"

#include <memory>
#include <string>

class Downloader;
class FeedKeeper;
class FeedStore;
class MessageSink;
class PictureCache;
class WorkTracker;

// What every feed and action worker needs, shared by all of them. Each
// worker holds the whole set for its life, so nothing it uses can go away
// while it runs, whoever started it.
struct FeedServices {
    std::string baseUrl;  // ends with "/"
    std::string configPath;  // vlconfig.xml, read afresh by requests that take the config session
    std::shared_ptr<FeedStore> store;
    std::shared_ptr<MessageSink> sink;
    std::shared_ptr<const PictureCache> cache;
    std::shared_ptr<Downloader> downloader;
    TransferLimits limits;
    std::shared_ptr<WorkTracker> tracker;  // counts the workers; may be null
    std::shared_ptr<const FeedKeeper> keeper;  // last usable answers on disk; may be null
};
