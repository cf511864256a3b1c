import Foundation

/* A comment /* nested */ still a comment */
@MainActor final class Model: ObservableObject {
    @Published var answer = "Grüße, \(name.uppercased()) — \("nested \(1 + 2)")"
    let raw = #"no \(interpolation) here"#
    let multi = """
        line one \t
        line two 🙂
        """
    func send(_ text: String) async throws -> Int {
        let value = 0x1F_FF + 1.5e-3 + 0b1010 // trailing comment
        return items.map { $0.count }.reduce(0, +) &+ value
    }
}
#if DEBUG
print("unterminated
