#pragma once

#include <foundation/URL.h>
#include <foundation/URLSession.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ui/Image.h"

namespace markdown {

// Turns image file bytes into pixels; absent when they are no image it can read or the image
// has more than `maxPixels` pixels. Runs off the main thread.
using ImageDecoder =
    std::function<std::optional<ui::Image>(std::string_view bytes, std::size_t maxPixels)>;

// Why a load gave no image.
struct ImageLoadError {
  enum class Code {
    unsupportedURL,           // not http or https (nothing was read)
    badServerResponse,        // not HTTP, or a status outside 200...299
    cannotDecodeContentData,  // no image the decoder can read, or too many pixels
    dataTooLarge,             // the body passed the size limit
    transport,                // the request failed; see the description
    cancelled,
  };
  Code code = Code::transport;
  std::string description;
};

struct ImageLoadResult {
  std::optional<ui::Image> image;
  std::optional<ImageLoadError> error;  // set when there is no image
};

// Fetches image bytes over HTTP(S) only, redirects included, with a cap on the body: the
// Markdown shown comes from a remote model, so its image URLs are untrusted.
class ImageSession {
 public:
  struct Limits {
    std::size_t maxBodyBytes = 20 * 1024 * 1024;
  };
  using Completion = std::function<void(std::optional<std::string> body, int statusCode,
                                        std::optional<ImageLoadError> error)>;

  static std::shared_ptr<ImageSession> make(foundation::URLSessionConfiguration configuration,
                                            Limits limits);
  // The session the default image providers use.
  static std::shared_ptr<ImageSession> shared();

  virtual ~ImageSession() = default;
  // Calls `completion` once, on a worker thread. Stops reading once `cancelled` turns true.
  virtual void fetch(const foundation::URL& url, std::shared_ptr<std::atomic<bool>> cancelled,
                     Completion completion) = 0;
};

// Loads images for the default providers: fetch, check, decode off the main thread, and keep
// decoded images in a memory cache limited by cost (4 bytes a pixel), least recently used
// first out. Only successes are cached; concurrent misses each fetch.
class DefaultImageLoader {
 public:
  struct Limits {
    std::size_t maxPixels = 40'000'000;
    std::size_t cacheCostLimit = 128 * 1024 * 1024;
  };

  static DefaultImageLoader& shared();
  DefaultImageLoader();
  explicit DefaultImageLoader(Limits limits);

  // The decoder for every later load; the program installs its toolkit's at start.
  void setDecoder(ImageDecoder decoder);
  // Delivers on the main queue. A cache hit makes no request.
  void image(const foundation::URL& url, const std::shared_ptr<ImageSession>& session,
             std::function<void(ImageLoadResult)> completion,
             std::shared_ptr<std::atomic<bool>> cancelled = nullptr);

  std::optional<ui::Image> cachedImage(const foundation::URL& url) const;
  std::size_t cacheCost() const;
  void removeAllCachedImages();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

// Whether the loader would fetch `url` at all.
bool isLoadableImageURL(const foundation::URL& url);

}  // namespace markdown
