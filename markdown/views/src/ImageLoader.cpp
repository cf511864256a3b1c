#include "markdown/ImageLoader.h"

#include <foundation/DispatchQueue.h>

#include <cstdlib>
#include <utility>

namespace markdown {

bool isLoadableImageURL(const foundation::URL& url) {
  return url.scheme() == "http" || url.scheme() == "https";
}

namespace {

ImageLoadError error(ImageLoadError::Code code, std::string description) {
  return {code, std::move(description)};
}

// One request in flight.
struct Fetch {
  std::shared_ptr<std::atomic<bool>> cancelled;
  ImageSession::Completion completion;
  std::string body;
  std::optional<ImageLoadError> failure;
};

// One delegate for every request of the session, sending each event to its request.
class FetchDelegate final : public foundation::URLSessionDelegate {
 public:
  explicit FetchDelegate(std::size_t maxBodyBytes) : maxBodyBytes_(maxBodyBytes) {}

  void add(std::uint64_t id, std::shared_ptr<Fetch> fetch) {
    std::lock_guard lock(mutex_);
    fetches_[id] = std::move(fetch);
  }

  void didReceiveResponse(
      foundation::URLSessionTask& task, const foundation::HTTPURLResponse& response,
      std::function<void(foundation::ResponseDisposition)> completion) override {
    auto fetch = find(task);
    if (fetch) {
      auto length = response.allHeaderFields.find("Content-Length");
      if (length != response.allHeaderFields.end() &&
          std::strtoull(length->second.c_str(), nullptr, 10) > maxBodyBytes_)
        fetch->failure = error(ImageLoadError::Code::dataTooLarge, "The image is too large.");
    }
    completion(fetch && fetch->failure ? foundation::ResponseDisposition::cancel
                                       : foundation::ResponseDisposition::allow);
  }

  void didReceiveData(foundation::URLSessionTask& task, const std::string& bytes) override {
    auto fetch = find(task);
    if (!fetch || fetch->failure) return;
    if (fetch->cancelled && fetch->cancelled->load()) {
      fetch->failure = error(ImageLoadError::Code::cancelled, "The load was cancelled.");
      task.cancel();
      return;
    }
    if (fetch->body.size() + bytes.size() > maxBodyBytes_) {
      fetch->failure = error(ImageLoadError::Code::dataTooLarge, "The image is too large.");
      fetch->body.clear();
      task.cancel();
      return;
    }
    fetch->body += bytes;
  }

  void didCompleteWithError(foundation::URLSessionTask& task,
                            const std::optional<foundation::URLError>& failure) override {
    std::shared_ptr<Fetch> fetch;
    {
      std::lock_guard lock(mutex_);
      auto it = fetches_.find(task.taskIdentifier());
      if (it == fetches_.end()) return;
      fetch = std::move(it->second);
      fetches_.erase(it);
    }
    if (fetch->failure) return fetch->completion(std::nullopt, 0, fetch->failure);
    if (failure)
      return fetch->completion(std::nullopt, 0,
                               error(failure->code == foundation::URLError::Code::cancelled
                                         ? ImageLoadError::Code::cancelled
                                         : ImageLoadError::Code::transport,
                                     failure->localizedDescription));
    const auto response = task.response();
    fetch->completion(std::move(fetch->body), response ? response->statusCode : 0, std::nullopt);
  }

  // A redirect may not leave HTTP: the redirect response then ends the request.
  void willPerformHTTPRedirection(
      foundation::URLSessionTask&, const foundation::HTTPURLResponse&,
      foundation::URLRequest request,
      std::function<void(std::optional<foundation::URLRequest>)> completion) override {
    if (!isLoadableImageURL(request.url)) return completion(std::nullopt);
    completion(std::move(request));
  }

 private:
  std::shared_ptr<Fetch> find(foundation::URLSessionTask& task) {
    std::lock_guard lock(mutex_);
    auto it = fetches_.find(task.taskIdentifier());
    return it == fetches_.end() ? nullptr : it->second;
  }

  std::size_t maxBodyBytes_;
  std::mutex mutex_;
  std::unordered_map<std::uint64_t, std::shared_ptr<Fetch>> fetches_;
};

class URLImageSession final : public ImageSession {
 public:
  URLImageSession(foundation::URLSessionConfiguration configuration, Limits limits)
      : delegate_(std::make_shared<FetchDelegate>(limits.maxBodyBytes)),
        session_(foundation::URLSession::make(std::move(configuration), delegate_)) {}
  ~URLImageSession() override { session_->invalidateAndCancel(); }

  void fetch(const foundation::URL& url, std::shared_ptr<std::atomic<bool>> cancelled,
             Completion completion) override {
    auto fetch = std::make_shared<Fetch>();
    fetch->cancelled = std::move(cancelled);
    fetch->completion = std::move(completion);
    auto task = session_->dataTask(foundation::URLRequest(url));
    delegate_->add(task->taskIdentifier(), std::move(fetch));
    task->resume();
  }

 private:
  std::shared_ptr<FetchDelegate> delegate_;
  std::shared_ptr<foundation::URLSession> session_;
};

}  // namespace

std::shared_ptr<ImageSession> ImageSession::make(foundation::URLSessionConfiguration configuration,
                                                 Limits limits) {
  return std::make_shared<URLImageSession>(std::move(configuration), limits);
}

std::shared_ptr<ImageSession> ImageSession::shared() {
  static const std::shared_ptr<ImageSession> session =
      make(foundation::URLSessionConfiguration::defaultConfiguration(), Limits{});
  return session;
}

// The cache and the decoder, shared with the requests in flight.
struct DefaultImageLoader::Shared {
  Limits limits;
  mutable std::mutex mutex;
  ImageDecoder decoder;
  struct Entry {
    std::string key;
    ui::Image image;
    std::size_t cost = 0;
  };
  std::list<Entry> recent;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index;
  std::size_t cost = 0;

  std::optional<ui::Image> lookup(const std::string& key) {
    std::lock_guard lock(mutex);
    auto it = index.find(key);
    if (it == index.end()) return std::nullopt;
    recent.splice(recent.begin(), recent, it->second);
    return it->second->image;
  }

  void store(const std::string& key, const ui::Image& image) {
    const ui::Size size = image.naturalSize();
    const auto entryCost = static_cast<std::size_t>(size.width * size.height * 4);
    std::lock_guard lock(mutex);
    if (auto it = index.find(key); it != index.end()) {
      cost -= it->second->cost;
      recent.erase(it->second);
      index.erase(it);
    }
    if (entryCost > limits.cacheCostLimit) return;
    recent.push_front({key, image, entryCost});
    index[key] = recent.begin();
    cost += entryCost;
    while (cost > limits.cacheCostLimit && !recent.empty()) {
      cost -= recent.back().cost;
      index.erase(recent.back().key);
      recent.pop_back();
    }
  }
};

DefaultImageLoader& DefaultImageLoader::shared() {
  static DefaultImageLoader loader;
  return loader;
}

DefaultImageLoader::DefaultImageLoader() : DefaultImageLoader(Limits{}) {}

DefaultImageLoader::DefaultImageLoader(Limits limits) : shared_(std::make_shared<Shared>()) {
  shared_->limits = limits;
}

void DefaultImageLoader::setDecoder(ImageDecoder decoder) {
  std::lock_guard lock(shared_->mutex);
  shared_->decoder = std::move(decoder);
}

void DefaultImageLoader::image(const foundation::URL& url,
                               const std::shared_ptr<ImageSession>& session,
                               std::function<void(ImageLoadResult)> completion,
                               std::shared_ptr<std::atomic<bool>> cancelled) {
  auto deliver = [completion = std::move(completion)](ImageLoadResult result) mutable {
    foundation::DispatchQueue::main().async(
        [completion = std::move(completion), result = std::move(result)]() mutable {
          completion(std::move(result));
        });
  };
  if (!isLoadableImageURL(url))
    return deliver({std::nullopt, error(ImageLoadError::Code::unsupportedURL,
                                        "Only http and https images are loaded.")});
  const std::string key = url.absoluteString();
  if (auto hit = shared_->lookup(key)) return deliver({std::move(hit), std::nullopt});
  if (!session)
    return deliver({std::nullopt, error(ImageLoadError::Code::transport, "No session.")});
  session->fetch(
      url, std::move(cancelled),
      [shared = shared_, key, deliver = std::move(deliver)](
          std::optional<std::string> body, int status,
          std::optional<ImageLoadError> failure) mutable {
        if (failure) return deliver({std::nullopt, std::move(failure)});
        if (status < 200 || status > 299)
          return deliver({std::nullopt, error(ImageLoadError::Code::badServerResponse,
                                              "The server did not send the image.")});
        ImageDecoder decoder;
        {
          std::lock_guard lock(shared->mutex);
          decoder = shared->decoder;
        }
        std::optional<ui::Image> image;
        if (decoder && body) image = decoder(*body, shared->limits.maxPixels);
        const ui::Size size = image ? image->naturalSize() : ui::Size{};
        if (!image || size.width * size.height > double(shared->limits.maxPixels))
          return deliver({std::nullopt, error(ImageLoadError::Code::cannotDecodeContentData,
                                              "The data is no image that can be shown.")});
        shared->store(key, *image);
        deliver({std::move(image), std::nullopt});
      });
}

std::optional<ui::Image> DefaultImageLoader::cachedImage(const foundation::URL& url) const {
  return shared_->lookup(url.absoluteString());
}

std::size_t DefaultImageLoader::cacheCost() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->cost;
}

void DefaultImageLoader::removeAllCachedImages() {
  std::lock_guard lock(shared_->mutex);
  shared_->recent.clear();
  shared_->index.clear();
  shared_->cost = 0;
}

}  // namespace markdown
