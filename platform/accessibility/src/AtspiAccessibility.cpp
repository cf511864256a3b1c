#include "accessibility/AtspiAccessibility.h"

#include <atspi/atspi.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AccessibilityBusWatch.h"
#include "accessibility/Attributes.h"
#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"
#include "foundation/UTF8.h"

namespace accessibility {
namespace {

constexpr std::uint64_t kOwnBit = std::uint64_t{1} << 63;
// How many found elements stay known; the capture needs only the last.
constexpr std::size_t kRememberedElements = 8;
// Bounds of the walk for the focus where an application offers no collection interface.
constexpr int kMaximumDepth = 40;
constexpr int kMaximumVisits = 4000;
// Matches asked for the focus: the accessibles on its chain, which is short.
constexpr int kFocusChain = 16;

struct GErrorHolder {
  GError* error = nullptr;
  ~GErrorHolder() {
    if (error) g_error_free(error);
  }
  GError** out() { return &error; }
  explicit operator bool() const { return error != nullptr; }
};

// Unreferences a GObject on scope exit.
template <class T>
struct Ref {
  T* object = nullptr;
  Ref() = default;
  explicit Ref(T* o) : object(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : object(other.object) { other.object = nullptr; }
  Ref& operator=(Ref&& other) noexcept {
    std::swap(object, other.object);
    return *this;
  }
  ~Ref() {
    if (object) g_object_unref(object);
  }
  T* get() const { return object; }
  explicit operator bool() const { return object != nullptr; }
};

// A peer that went away, hung or refused: either way the operation could not be done.
AXError failureOf(const GErrorHolder& error) {
  return error ? kAXErrorCannotComplete : kAXErrorFailure;
}

bool hasState(AtspiAccessible* accessible, AtspiStateType state) {
  Ref<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
  return states && atspi_state_set_contains(states.get(), state);
}

// UTF-16 units of one character: two for those past the Basic Multilingual Plane.
std::int64_t utf16Width(const foundation::utf8::Scalar& scalar) {
  return scalar.value > 0xFFFF ? 2 : 1;
}

// Character offsets (the bus's) to UTF-16 units and back, over the element's text.
std::int64_t utf16Of(std::string_view text, std::int64_t characters) {
  std::int64_t units = 0;
  std::size_t byte = 0;
  for (std::int64_t c = 0; c < characters && byte < text.size(); ++c) {
    const auto scalar = foundation::utf8::decode(text, byte);
    units += utf16Width(scalar);
    byte += scalar.length;
  }
  return units;
}

std::int64_t charactersOf(std::string_view text, std::int64_t units) {
  std::int64_t characters = 0;
  std::int64_t counted = 0;
  for (std::size_t byte = 0; byte < text.size();) {
    const auto scalar = foundation::utf8::decode(text, byte);
    const std::int64_t width = utf16Width(scalar);
    if (counted + width > units) break;
    counted += width;
    ++characters;
    byte += scalar.length;
  }
  return characters;
}

}  // namespace

struct AtspiAccessibility::Worker {
  explicit Worker(AtspiOptions given)
      : options(given), thread([this] {
          foundation::setCurrentThreadName("quill-atspi");
          run();
        }) {}
  ~Worker() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    g_main_context_wakeup(context);
    thread.join();
  }

  // Runs `task` on the worker and waits for its answer; a worker still busy with an earlier
  // call that hangs longer than every bound allows answers `timedOut`. A task given up on
  // before it began never runs later. One already under way is waited for when `changes`
  // the element (its bus calls are bounded), so a write is never told failed and done anyway.
  template <class T>
  T call(std::function<T()> task, T timedOut, bool changes = false) {
    struct Pending {
      std::promise<T> answer;
      bool started = false, abandoned = false;
    };
    auto pending = std::make_shared<Pending>();
    auto answer = pending->answer.get_future();
    {
      std::lock_guard lock(mutex);
      tasks.push_back([this, task = std::move(task), pending] {
        {
          std::lock_guard lock(mutex);
          if (pending->abandoned) return;
          pending->started = true;
        }
        pending->answer.set_value(task());
      });
    }
    g_main_context_wakeup(context);
    const auto bound = options.callTimeout * 40 + std::chrono::seconds(1);
    if (answer.wait_for(bound) == std::future_status::ready) return answer.get();
    {
      std::lock_guard lock(mutex);
      if (!pending->started) pending->abandoned = true;
      if (pending->abandoned || !changes) return timedOut;
    }
    return answer.get();
  }

  // Queues `task` on the worker without waiting for it.
  void post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex);
      tasks.push_back(std::move(task));
    }
    g_main_context_wakeup(context);
  }

  // Until the look at start has ended (boundedly); never on the main thread.
  void awaitFirstLook() {
    if (foundation::isMainThread()) return;
    std::unique_lock lock(mutex);
    firstLook.wait_for(lock, options.callTimeout * 40 + std::chrono::seconds(1),
                       [this] { return firstLookEnded; });
  }

  // A session bus that was missing is looked for again, without anyone waiting for it.
  void tryAgainIfMissing() {
    if (!watch.sessionMissing() || !watch.mayTryAgain() || retryQueued.exchange(true)) return;
    post([this] {
      retryQueued = false;
      lookAtBus();
    });
  }

  // ---- worker thread only from here on ----

  void run() {
    g_main_context_push_thread_default(context);
    // Connected before anyone asks: the first capture after start finds the bus ready.
    lookAtBus();
    std::vector<std::function<void(AccessibilityBus)>> told;
    {
      std::lock_guard lock(mutex);
      firstLookEnded = true;
      told.swap(firstLookListeners);
    }
    firstLook.notify_all();
    for (auto& listener : told) listener(watch.state());
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex);
        if (stopping) break;
        if (!tasks.empty()) {
          task = std::move(tasks.front());
          tasks.pop_front();
        }
      }
      if (task) task();
      // Signals of the bus arrive in between; nobody else may dispatch them.
      while (g_main_context_iteration(context, FALSE)) {
      }
      {
        std::lock_guard lock(mutex);
        if (stopping || !tasks.empty()) continue;
      }
      // Asleep until the bus has something or a task or the end wakes the context; a wake-up
      // that came since the check above ends this wait at once.
      g_main_context_iteration(context, TRUE);
    }
    for (auto& remembered : elements) forget(remembered);
    elements.clear();
    if (initialised) atspi_exit();
    watch.close();
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  void lookAtBus() {
    watch.look();
    if (watch.state() != AccessibilityBus::absent) ensureInitialised();
  }

  // The launcher's signals arrive in the worker's own dispatch: what they call for comes next.
  void busChanged() {
    post([this] {
      if (watch.lookDue())
        lookAtBus();
      else if (watch.state() != AccessibilityBus::absent)
        ensureInitialised();
    });
  }

  bool ensureInitialised() {
    if (initialised) return true;
    if (unreachable || watch.state() == AccessibilityBus::absent) return false;
    // 1: the library was set up already. Any other answer leaves it without a bus, and its
    // next call would end the program: it is not called again.
    if (const int result = atspi_init(); result != 0 && result != 1) {
      unreachable = true;
      return false;
    }
    initialised = true;
    atspi_set_main_context(context);
    const int timeout = static_cast<int>(options.callTimeout.count());
    atspi_set_timeout(timeout, timeout);
    // The library asks the registry for the desktop on first use: now, not on the first capture.
    if (AtspiAccessible* desktop = atspi_get_desktop(0)) g_object_unref(desktop);
    return true;
  }

  struct Remembered {
    std::uint64_t id;
    AtspiAccessible* accessible;
    AtspiAccessible* application;  // the one it was found in
    appkit::RunningApplication window;
    // Characters chosen by the last write of the selected range.
    std::optional<std::pair<int, int>> chosenRange;
  };

  Remembered* find(const Element& element) {
    for (auto& remembered : elements)
      if (remembered.id == element.id()) return &remembered;
    return nullptr;
  }

  static void forget(Remembered& remembered) {
    g_object_unref(remembered.accessible);
    g_object_unref(remembered.application);
  }

  Element remember(AtspiAccessible* accessible, AtspiAccessible* application,
                   const appkit::RunningApplication& window) {
    if (elements.size() >= kRememberedElements) {
      forget(elements.front());
      elements.erase(elements.begin());
    }
    const std::uint64_t id = kOwnBit | nextId++;
    elements.push_back({id,
                        static_cast<AtspiAccessible*>(g_object_ref(accessible)),
                        static_cast<AtspiAccessible*>(g_object_ref(application)),
                        window,
                        {}});
    return Element::uiElement(id, window.processIdentifier);
  }

  // The focused accessible below `root`, by the collection interface where there is one. The
  // focus is on a chain of accessibles (a word processor's document panel, then its paragraph):
  // the innermost that offers text, else the innermost.
  Ref<AtspiAccessible> focusedBelow(AtspiAccessible* root, bool& timedOut) {
    if (Ref<AtspiCollection> collection(atspi_accessible_get_collection_iface(root)); collection) {
      GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
      const AtspiStateType focused = ATSPI_STATE_FOCUSED;
      g_array_append_val(wanted, focused);
      Ref<AtspiStateSet> states(atspi_state_set_new(wanted));
      g_array_free(wanted, TRUE);
      Ref<AtspiMatchRule> rule(atspi_match_rule_new(
          states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
          ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
      GErrorHolder error;
      GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(),
                                                     ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                     kFocusChain, TRUE, error.out());
      if (matches) {
        Ref<AtspiAccessible> found;
        for (guint i = matches->len; i-- > 0 && !found;) {
          auto* match = static_cast<AtspiAccessible*>(g_array_index(matches, gpointer, i));
          if (Ref<AtspiText> text(atspi_accessible_get_text_iface(match)); text)
            found = Ref<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(match)));
        }
        if (!found && matches->len > 0) {
          found = Ref<AtspiAccessible>(static_cast<AtspiAccessible*>(
              g_object_ref(g_array_index(matches, gpointer, matches->len - 1))));
        }
        for (guint i = 0; i < matches->len; ++i)
          g_object_unref(g_array_index(matches, gpointer, i));
        g_array_free(matches, TRUE);
        return found;
      }
      // An application that does not answer is not walked either.
      if (error) {
        timedOut = true;
        return {};
      }
    }
    int visits = 0;
    return walkForFocus(root, 0, visits, timedOut);
  }

  Ref<AtspiAccessible> walkForFocus(AtspiAccessible* node, int depth, int& visits, bool& timedOut) {
    if (depth > kMaximumDepth || ++visits > kMaximumVisits || timedOut) return {};
    if (depth > 0 && hasState(node, ATSPI_STATE_FOCUSED)) {
      // One inside it may hold the focus too.
      if (Ref<AtspiText> text(atspi_accessible_get_text_iface(node)); !text) {
        GErrorHolder error;
        const int count = atspi_accessible_get_child_count(node, error.out());
        for (int i = 0; i < count && !error && visits <= kMaximumVisits; ++i) {
          GErrorHolder childError;
          Ref<AtspiAccessible> child(
              atspi_accessible_get_child_at_index(node, i, childError.out()));
          if (!child) continue;
          if (auto inner = walkForFocus(child.get(), depth + 1, visits, timedOut)) return inner;
        }
      }
      return Ref<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(node)));
    }
    GErrorHolder error;
    const int count = atspi_accessible_get_child_count(node, error.out());
    if (error) {
      timedOut = true;
      return {};
    }
    for (int i = 0; i < count && visits <= kMaximumVisits; ++i) {
      GErrorHolder childError;
      Ref<AtspiAccessible> child(atspi_accessible_get_child_at_index(node, i, childError.out()));
      if (!child) continue;
      if (auto found = walkForFocus(child.get(), depth + 1, visits, timedOut)) return found;
    }
    return {};
  }

  Result<Element> focusedTextElement(const appkit::RunningApplication& front) {
    if (front.processIdentifier <= 0 || !ensureInitialised()) return kAXErrorNoValue;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return kAXErrorNoValue;
    Ref<AtspiAccessible> desktopRef(desktop);
    // What the library remembers of the tree is only as fresh as the events it was told.
    atspi_accessible_clear_cache(desktop);
    GErrorHolder countError;
    const int applications = atspi_accessible_get_child_count(desktop, countError.out());
    bool timedOut = false;
    for (int i = 0; i < applications; ++i) {
      GErrorHolder error;
      Ref<AtspiAccessible> application(
          atspi_accessible_get_child_at_index(desktop, i, error.out()));
      if (!application) continue;
      GErrorHolder pidError;
      const guint pid = atspi_accessible_get_process_id(application.get(), pidError.out());
      if (pidError || static_cast<int>(pid) != front.processIdentifier) continue;
      // Its states and children change without the library hearing of it here.
      atspi_accessible_clear_cache(application.get());
      GErrorHolder windowsError;
      const int windows = atspi_accessible_get_child_count(application.get(), windowsError.out());
      if (windowsError) {
        timedOut = true;
        continue;
      }
      for (int w = 0; w < windows; ++w) {
        GErrorHolder windowError;
        Ref<AtspiAccessible> window(
            atspi_accessible_get_child_at_index(application.get(), w, windowError.out()));
        if (!window || !hasState(window.get(), ATSPI_STATE_ACTIVE)) continue;
        Ref<AtspiAccessible> focused = focusedBelow(window.get(), timedOut);
        if (!focused) continue;
        Ref<AtspiText> text(atspi_accessible_get_text_iface(focused.get()));
        if (!text) return kAXErrorNoValue;
        return remember(focused.get(), application.get(), front);
      }
    }
    return timedOut ? kAXErrorCannotComplete : kAXErrorNoValue;
  }

  // The element's whole text; absent when it cannot be read.
  std::optional<std::string> wholeText(AtspiText* text, AXError& failure) {
    GErrorHolder error;
    gchar* all = atspi_text_get_text(text, 0, -1, error.out());
    if (!all) {
      failure = failureOf(error);
      return std::nullopt;
    }
    std::string out(all);
    g_free(all);
    return out;
  }

  // The first selection in characters, or the caret as an empty one.
  std::optional<std::pair<int, int>> selection(AtspiText* text, AXError& failure) {
    GErrorHolder countError;
    const int count = atspi_text_get_n_selections(text, countError.out());
    if (countError) {
      failure = failureOf(countError);
      return std::nullopt;
    }
    if (count > 0) {
      GErrorHolder error;
      AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
      if (!range) {
        failure = failureOf(error);
        return std::nullopt;
      }
      std::pair<int, int> out{std::min(range->start_offset, range->end_offset),
                              std::max(range->start_offset, range->end_offset)};
      g_free(range);
      return out;
    }
    GErrorHolder caretError;
    const int caret = atspi_text_get_caret_offset(text, caretError.out());
    if (caretError) {
      failure = failureOf(caretError);
      return std::nullopt;
    }
    return std::pair<int, int>{std::max(caret, 0), std::max(caret, 0)};
  }

  // Characters in the element's text; -1 when it cannot be told.
  static int characterCount(AtspiText* text) {
    GErrorHolder error;
    const int count = atspi_text_get_character_count(text, error.out());
    return error ? -1 : count;
  }

  // An application that exposes each paragraph as a text of its own (a word processor) shows a
  // selection over several as one piece in each. The selected text of the run of paragraphs
  // around `accessible` that the selection covers, joined by line breaks; absent when the
  // selection lies within `accessible` alone. Only a run that reads as one selection counts:
  // consecutive paragraphs, the first selected to its end, the last from its start, those in
  // between whole. Other fields of a window keep selections of their own, which are not the
  // user's now.
  std::optional<std::string> selectionAcrossParagraphs(AtspiAccessible* accessible) {
    GErrorHolder roleError;
    if (atspi_accessible_get_role(accessible, roleError.out()) != ATSPI_ROLE_PARAGRAPH)
      return std::nullopt;
    GErrorHolder parentError;
    Ref<AtspiAccessible> parent(atspi_accessible_get_parent(accessible, parentError.out()));
    if (!parent) return std::nullopt;
    GErrorHolder countError;
    const int count =
        std::min(atspi_accessible_get_child_count(parent.get(), countError.out()), kMaximumVisits);
    if (countError) return std::nullopt;
    struct Piece {
      int index;
      int start, end, length;
      std::string text;
      bool focused;
    };
    std::vector<Piece> pieces;
    for (int i = 0; i < count; ++i) {
      GErrorHolder childError;
      Ref<AtspiAccessible> child(
          atspi_accessible_get_child_at_index(parent.get(), i, childError.out()));
      if (!child) continue;
      GErrorHolder childRoleError;
      if (atspi_accessible_get_role(child.get(), childRoleError.out()) != ATSPI_ROLE_PARAGRAPH)
        continue;
      Ref<AtspiText> text(atspi_accessible_get_text_iface(child.get()));
      if (!text) continue;
      GErrorHolder selectionsError;
      if (atspi_text_get_n_selections(text.get(), selectionsError.out()) <= 0) continue;
      AXError failure = kAXErrorFailure;
      const auto range = selection(text.get(), failure);
      if (!range || range->second <= range->first) continue;
      GErrorHolder textError;
      gchar* selected =
          atspi_text_get_text(text.get(), range->first, range->second, textError.out());
      if (!selected) return std::nullopt;
      pieces.push_back({i, range->first, range->second, characterCount(text.get()), selected,
                        child.get() == accessible});
      g_free(selected);
    }
    if (pieces.size() < 2) return std::nullopt;
    bool holdsFocused = false;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      const auto& piece = pieces[p];
      holdsFocused = holdsFocused || piece.focused;
      if (p > 0 && piece.index != pieces[p - 1].index + 1) return std::nullopt;
      if (p + 1 < pieces.size() && piece.end != piece.length) return std::nullopt;
      if (p > 0 && piece.start != 0) return std::nullopt;
    }
    if (!holdsFocused) return std::nullopt;
    std::string joined;
    for (const auto& piece : pieces) {
      if (!joined.empty()) joined += '\n';
      joined += piece.text;
    }
    return joined;
  }

  // Removes the selections and puts the caret at `start`; `narrowing` first shrinks the
  // selection to nothing there, for those that cannot remove one.
  static void collapseAt(AtspiText* text, int start, bool narrowing) {
    GErrorHolder countError;
    const int count = atspi_text_get_n_selections(text, countError.out());
    if (narrowing && count > 0) {
      GErrorHolder narrowError;
      atspi_text_set_selection(text, 0, start, start, narrowError.out());
    }
    for (int i = count - 1; i >= 0; --i) {
      GErrorHolder removeError;
      atspi_text_remove_selection(text, i, removeError.out());
    }
    GErrorHolder caretError;
    atspi_text_set_caret_offset(text, start, caretError.out());
  }

  static bool caretStandsAt(AtspiText* text, int start) {
    GErrorHolder caretError;
    if (atspi_text_get_caret_offset(text, caretError.out()) != start || caretError) return false;
    GErrorHolder countError;
    const int count = atspi_text_get_n_selections(text, countError.out());
    if (countError) return false;
    for (int i = 0; i < count; ++i) {
      GErrorHolder error;
      AtspiRange* range = atspi_text_get_selection(text, i, error.out());
      if (!range) return false;
      const bool empty = range->start_offset == range->end_offset;
      g_free(range);
      if (!empty) return false;
    }
    return true;
  }

  // Whether the accessible has gone while its application still answers: the window closed
  // what it was (a document's tab). A hung application is not taken for that.
  static bool gone(const Remembered& remembered) {
    atspi_accessible_clear_cache(remembered.accessible);
    if (!hasState(remembered.accessible, ATSPI_STATE_DEFUNCT)) return false;
    atspi_accessible_clear_cache(remembered.application);
    GErrorHolder countError;
    atspi_accessible_get_child_count(remembered.application, countError.out());
    return !countError;
  }

  // A failure on an accessible that has gone is kAXErrorInvalidUIElement.
  template <class T>
  static T unlessGone(T outcome, AXError failure, const Remembered& remembered) {
    // An interface that went missing went with the accessible.
    const bool failed = failure != kAXErrorSuccess && failure != kAXErrorIllegalArgument &&
                        failure != kAXErrorNoValue;
    if (failed && gone(remembered)) return T(kAXErrorInvalidUIElement);
    return outcome;
  }

  Result<Value> read(const Element& element, std::string_view attribute) {
    Remembered* remembered = find(element);
    if (!remembered) return kAXErrorInvalidUIElement;
    auto value = readOf(remembered->accessible, attribute);
    const AXError error = value.error();
    return unlessGone(std::move(value), error, *remembered);
  }

  AXError write(const Element& element, std::string_view attribute, const Value& value) {
    Remembered* remembered = find(element);
    if (!remembered) return kAXErrorInvalidUIElement;
    const AXError error = writeOf(*remembered, attribute, value);
    return unlessGone(error, error, *remembered);
  }

  Result<Value> readOf(AtspiAccessible* accessible, std::string_view attribute) {
    if (attribute == attribute::kRole) {
      GErrorHolder error;
      const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
      if (error) return failureOf(error);
      return std::string(role == ATSPI_ROLE_TERMINAL ? role::kTerminal : role::kTextArea);
    }
    const bool textAttribute = attribute == attribute::kSelectedText ||
                               attribute == attribute::kValue ||
                               attribute == attribute::kSelectedTextRange;
    if (!textAttribute) return kAXErrorAttributeUnsupported;
    Ref<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text) return kAXErrorAttributeUnsupported;
    AXError failure = kAXErrorFailure;
    if (attribute == attribute::kSelectedText) {
      GErrorHolder countError;
      const int count = atspi_text_get_n_selections(text.get(), countError.out());
      if (countError) return failureOf(countError);
      if (count <= 0) return std::string();
      if (auto across = selectionAcrossParagraphs(accessible)) return std::move(*across);
      const auto range = selection(text.get(), failure);
      if (!range) return failure;
      GErrorHolder error;
      gchar* selected = atspi_text_get_text(text.get(), range->first, range->second, error.out());
      if (!selected) return failureOf(error);
      std::string out(selected);
      g_free(selected);
      return out;
    }
    const auto all = wholeText(text.get(), failure);
    if (!all) return failure;
    if (attribute == attribute::kValue) return *all;
    // No range of this text holds all that is selected.
    if (selectionAcrossParagraphs(accessible)) return kAXErrorNoValue;
    const auto range = selection(text.get(), failure);
    if (!range) return failure;
    const std::int64_t start = utf16Of(*all, range->first);
    return TextRange{start, utf16Of(*all, range->second) - start};
  }

  AXError writeOf(Remembered& target, std::string_view attribute, const Value& value) {
    Remembered* remembered = &target;
    AtspiAccessible* accessible = remembered->accessible;
    Ref<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text) return kAXErrorAttributeUnsupported;
    AXError failure = kAXErrorFailure;
    // Choosing or replacing a range here would undo or cut the selection of the other
    // paragraphs.
    if ((attribute == attribute::kSelectedTextRange || attribute == attribute::kSelectedText) &&
        selectionAcrossParagraphs(accessible))
      return kAXErrorNoValue;

    if (attribute == attribute::kSelectedTextRange) {
      const auto* range = std::get_if<TextRange>(&value);
      if (!range) return kAXErrorIllegalArgument;
      const auto all = wholeText(text.get(), failure);
      if (!all) return failure;
      const int start =
          static_cast<int>(charactersOf(*all, std::max<std::int64_t>(0, range->location)));
      const int end =
          static_cast<int>(charactersOf(*all, std::max<std::int64_t>(0, range->location) +
                                                  std::max<std::int64_t>(0, range->length)));
      remembered->chosenRange = std::pair<int, int>{start, end};
      GErrorHolder error;
      if (end > start) {
        GErrorHolder countError;
        const int count = atspi_text_get_n_selections(text.get(), countError.out());
        const bool done = count > 0
                              ? atspi_text_set_selection(text.get(), 0, start, end, error.out())
                              : atspi_text_add_selection(text.get(), start, end, error.out());
        return done ? kAXErrorSuccess : failureOf(error);
      }
      // Some applications answer without moving the caret, or leave the text selected: the
      // next key would replace it. Looked at, and tried once more with the selection collapsed.
      for (int attempt = 0; attempt < 2; ++attempt) {
        collapseAt(text.get(), start, attempt > 0);
        if (caretStandsAt(text.get(), start)) return kAXErrorSuccess;
      }
      return kAXErrorCannotComplete;
    }

    if (attribute == attribute::kSelectedText) {
      const auto* replacement = std::get_if<std::string>(&value);
      if (!replacement) return kAXErrorIllegalArgument;
      Ref<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
      if (!editable) return kAXErrorAttributeUnsupported;
      auto range = remembered->chosenRange;
      remembered->chosenRange.reset();
      if (!range) range = selection(text.get(), failure);
      if (!range) return failure;
      if (range->second > range->first) {
        GErrorHolder error;
        if (!atspi_editable_text_delete_text(editable.get(), range->first, range->second,
                                             error.out()))
          return failureOf(error);
      }
      if (!replacement->empty()) {
        GErrorHolder error;
        if (!atspi_editable_text_insert_text(editable.get(), range->first, replacement->c_str(),
                                             static_cast<gint>(replacement->size()), error.out()))
          return failureOf(error);
      }
      return kAXErrorSuccess;
    }
    return kAXErrorAttributeUnsupported;
  }

  AtspiOptions options;
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  bool stopping = false;
  // Dispatched on the worker thread only; others only wake it.
  GMainContext* context = g_main_context_new();

  bool firstLookEnded = false;
  std::condition_variable firstLook;
  std::vector<std::function<void(AccessibilityBus)>> firstLookListeners;
  std::atomic<bool> retryQueued{false};
  AccessibilityBusWatch watch{context, options.callTimeout, [this] { busChanged(); }};

  // Worker thread only.
  bool initialised = false;
  // The launcher answered, its bus did not.
  bool unreachable = false;
  std::vector<Remembered> elements;
  std::uint64_t nextId = 1;

  std::thread thread;  // last: starts once everything above exists
};

AtspiAccessibility::AtspiAccessibility(AtspiOptions options)
    : worker_(std::make_unique<Worker>(options)) {}

AtspiAccessibility::~AtspiAccessibility() = default;

bool AtspiAccessibility::owns(const Element& element) {
  return element.kind() == Element::Kind::UIElement && (element.id() & kOwnBit) != 0;
}

AccessibilityBus AtspiAccessibility::bus() {
  worker_->awaitFirstLook();
  worker_->tryAgainIfMissing();
  return worker_->watch.state();
}

void AtspiAccessibility::whenFirstLooked(std::function<void(AccessibilityBus)> told) {
  {
    std::lock_guard lock(worker_->mutex);
    if (!worker_->firstLookEnded) {
      worker_->firstLookListeners.push_back(std::move(told));
      return;
    }
  }
  told(worker_->watch.state());
}

void AtspiAccessibility::enable(std::function<void(bool enabled)> done) {
  worker_->post([w = worker_.get(), done = std::move(done)] {
    const bool enabled = w->watch.enable();
    if (enabled) w->ensureInitialised();
    if (done) done(enabled);
  });
}

Result<Element> AtspiAccessibility::focusedTextElement(const appkit::RunningApplication& front) {
  return worker_->call<Result<Element>>(
      [w = worker_.get(), front] { return w->focusedTextElement(front); },
      Result<Element>(kAXErrorCannotComplete));
}

std::optional<appkit::RunningApplication> AtspiAccessibility::windowOf(const Element& element) {
  return worker_->call<std::optional<appkit::RunningApplication>>(
      [w = worker_.get(), element]() -> std::optional<appkit::RunningApplication> {
        const auto* remembered = w->find(element);
        if (!remembered) return std::nullopt;
        return remembered->window;
      },
      std::nullopt);
}

Result<Value> AtspiAccessibility::copyAttributeValue(const Element& element,
                                                     std::string_view attribute) {
  if (!owns(element)) return kAXErrorInvalidUIElement;
  return worker_->call<Result<Value>>(
      [w = worker_.get(), element, name = std::string(attribute)] {
        return w->read(element, name);
      },
      Result<Value>(kAXErrorCannotComplete));
}

AXError AtspiAccessibility::setAttributeValue(const Element& element, std::string_view attribute,
                                              const Value& value) {
  if (!owns(element)) return kAXErrorInvalidUIElement;
  return worker_->call<AXError>([w = worker_.get(), element, name = std::string(attribute),
                                 value] { return w->write(element, name, value); },
                                kAXErrorCannotComplete, /*changes=*/true);
}

}  // namespace accessibility
