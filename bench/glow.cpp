#include <benchmark/benchmark.h>

#include <string>

#include "glow/SwiftGrammar.h"
#include "glow/Theme.h"
#include "panel/GlowCodeSyntaxHighlighter.h"

namespace {

// About `bytes` bytes of the code an answer holds: Swift, and some Python read as Swift.
std::string codeBlock(std::size_t bytes) {
  const std::string sample =
      "import Foundation\n\n"
      "/// Loads the presets, falling back to the shipped ones.\n"
      "@MainActor final class PresetStore: ObservableObject {\n"
      "    @Published private(set) var presets: [Preset] = []\n"
      "    private let url = URL(fileURLWithPath: \"/tmp/presets.json\")\n\n"
      "    func load() async throws {\n"
      "        let data = try Data(contentsOf: url)\n"
      "        presets = try JSONDecoder().decode([Preset].self, from: data)\n"
      "        print(\"loaded \\(presets.count) presets in \\(elapsed, specifier: \"%.2f\") s\")\n"
      "        guard !presets.isEmpty else { return }\n"
      "        let mask = 0xFF_FF & 0b1010_1010, scale = 1.5e-3 * Double(presets.count)\n"
      "        selection = presets.first?.id ?? .none /* nothing /* nested */ chosen */\n"
      "    }\n"
      "}\n\n"
      "def fibonacci(n: int) -> list[int]:\n"
      "    a, b = 0, 1\n"
      "    result = []\n"
      "    for _ in range(n):  # the first n numbers\n"
      "        result.append(a)\n"
      "        a, b = b, a + b\n"
      "    return result\n\n";
  std::string code;
  while (code.size() < bytes) code += sample;
  code.resize(bytes);
  return code;
}

class CountingSink final : public glow::PieceSink {
 public:
  void addToken(std::string_view, glow::TokenType) override { ++pieces; }
  void addPlainText(std::string_view) override { ++pieces; }
  void addWhitespace(std::string_view) override { ++pieces; }
  std::size_t pieces = 0;
};

// The tokenizer alone.
void BM_Tokenize(benchmark::State& state) {
  const std::string code = codeBlock(static_cast<std::size_t>(state.range(0)));
  const glow::SwiftGrammar grammar;
  for (auto _ : state) {
    CountingSink sink;
    grammar.tokenize(code, sink);
    benchmark::DoNotOptimize(sink.pieces);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Tokenize)->Arg(4 << 10)->Arg(64 << 10);

// What an answer view pays per code block: a new highlighter, then coloured text (about 1 100
// runs for 4 KiB, most of the cost).
void BM_Highlight(benchmark::State& state) {
  const std::string code = codeBlock(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const panel::GlowCodeSyntaxHighlighter highlighter(glow::Theme::midnight(ui::Font::system(16)));
    ui::Text text = highlighter.highlightCode(code, "swift");
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Highlight)->Arg(4 << 10)->Arg(64 << 10);

}  // namespace
