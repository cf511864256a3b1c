#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ranges>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// Content is composed from statements: a body is a braced list of components, and
// `when`, `choose` and `forEach` stand in for a condition, a condition with an alternative and
// a loop. Each builder decides what a statement becomes in its body.

namespace markdown {

// A condition without an alternative (buildOptional).
template <class T>
struct OptionalComponent {
  std::optional<T> content;
};

// A condition with an alternative (buildEither); nest for more than two branches.
template <class First, class Second>
struct EitherComponent {
  std::variant<First, Second> content;
};

// The results of a loop, one per iteration (buildArray).
template <class T>
struct ArrayComponent {
  std::vector<T> contents;
};

namespace detail {

// A statement given as a callable without arguments is evaluated only when it is chosen.
template <class T>
decltype(auto) evaluate(T&& statement) {
  if constexpr (std::is_invocable_v<T&>) {
    return std::invoke(statement);
  } else {
    return std::forward<T>(statement);
  }
}

template <class T>
using Evaluated = std::decay_t<decltype(evaluate(std::declval<T>()))>;

// The list that a content type concatenates.
template <class Content>
auto& elementsOf(Content& content) {
  if constexpr (requires { content.blocks; }) {
    return content.blocks;
  } else if constexpr (requires { content.inlines; }) {
    return content.inlines;
  } else {
    return content;
  }
}

template <class T>
struct IsComposition : std::false_type {};
template <class T>
struct IsComposition<OptionalComponent<T>> : std::true_type {};
template <class A, class B>
struct IsComposition<EitherComponent<A, B>> : std::true_type {};
template <class T>
struct IsComposition<ArrayComponent<T>> : std::true_type {};

}  // namespace detail

template <class T>
OptionalComponent<detail::Evaluated<T>> when(bool condition, T&& statement) {
  if (!condition) return {std::nullopt};
  return {detail::evaluate(std::forward<T>(statement))};
}

template <class First, class Second>
EitherComponent<detail::Evaluated<First>, detail::Evaluated<Second>> choose(bool condition,
                                                                            First&& first,
                                                                            Second&& second) {
  using Branches = std::variant<detail::Evaluated<First>, detail::Evaluated<Second>>;
  if (condition) {
    return {Branches(std::in_place_index<0>, detail::evaluate(std::forward<First>(first)))};
  }
  return {Branches(std::in_place_index<1>, detail::evaluate(std::forward<Second>(second)))};
}

template <std::ranges::input_range Range, class Body>
auto forEach(Range&& range, Body&& body) -> ArrayComponent<
    std::decay_t<std::invoke_result_t<Body&, std::ranges::range_reference_t<Range>>>> {
  ArrayComponent<std::decay_t<std::invoke_result_t<Body&, std::ranges::range_reference_t<Range>>>>
      result;
  for (auto&& element : range) result.contents.push_back(std::invoke(body, element));
  return result;
}

template <class Builder>
class BuilderComponent;

// The operations that every builder shares; a builder adds its own `buildExpression`s.
template <class Builder, class ContentType>
struct ContentBuilderOperations {
  using Content = ContentType;

  static Content buildBlock(std::initializer_list<BuilderComponent<Builder>> components) {
    Content result;
    auto& elements = detail::elementsOf(result);
    std::size_t count = 0;
    for (const auto& component : components)
      count += detail::elementsOf(component.content()).size();
    elements.reserve(count);
    for (const auto& component : components) {
      const auto& more = detail::elementsOf(component.content());
      elements.insert(elements.end(), more.begin(), more.end());
    }
    return result;
  }
  static Content buildArray(std::vector<Content> components) {
    Content result;
    auto& elements = detail::elementsOf(result);
    for (Content& component : components) {
      auto& more = detail::elementsOf(component);
      elements.insert(elements.end(), std::make_move_iterator(more.begin()),
                      std::make_move_iterator(more.end()));
    }
    return result;
  }
  static Content buildOptional(std::optional<Content> component) {
    return component ? std::move(*component) : Content{};
  }
  static Content buildEitherFirst(Content component) { return component; }
  static Content buildEitherSecond(Content component) { return component; }
};

// One statement of a body, already turned into its builder's content.
template <class Builder>
class BuilderComponent {
 public:
  using Content = typename Builder::Content;

  BuilderComponent(Content content) : content_(std::move(content)) {}

  template <class Expression>
  requires(!std::same_as<std::remove_cvref_t<Expression>, Content> &&
           !std::same_as<std::remove_cvref_t<Expression>, BuilderComponent> &&
           !detail::IsComposition<std::remove_cvref_t<Expression>>::value &&
           requires(Expression && e) { Builder::buildExpression(std::forward<Expression>(e)); })
      BuilderComponent(Expression&& expression)
      : content_(Builder::buildExpression(std::forward<Expression>(expression))) {}

  template <class T>
  requires std::constructible_from<BuilderComponent, T> BuilderComponent(
      OptionalComponent<T> optional)
      : content_(Builder::buildOptional(
            optional.content
                ? std::optional<Content>(BuilderComponent(std::move(*optional.content)).take())
                : std::nullopt)) {}

  template <class First, class Second>
  requires std::constructible_from<BuilderComponent, First> &&
      std::constructible_from<BuilderComponent, Second>
      BuilderComponent(EitherComponent<First, Second> either)
      : content_(either.content.index() == 0
                     ? Builder::buildEitherFirst(
                           BuilderComponent(std::get<0>(std::move(either.content))).take())
                     : Builder::buildEitherSecond(
                           BuilderComponent(std::get<1>(std::move(either.content))).take())) {}

  template <class T>
  requires std::constructible_from<BuilderComponent, T> BuilderComponent(ArrayComponent<T> array)
      : content_(buildArray(std::move(array))) {}

  const Content& content() const { return content_; }
  Content take() && { return std::move(content_); }

 private:
  template <class T>
  static Content buildArray(ArrayComponent<T> array) {
    std::vector<Content> contents;
    contents.reserve(array.contents.size());
    for (T& statement : array.contents)
      contents.push_back(BuilderComponent(std::move(statement)).take());
    return Builder::buildArray(std::move(contents));
  }

  Content content_;
};

}  // namespace markdown
