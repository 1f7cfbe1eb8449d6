// The nodes of a KDL document, as niri's configuration is written: enough
// of KDL to find each node, its name, its plain arguments and where its
// text and its children lie, so that a node can be copied byte for byte.
// Comments (block comments nest), `/-` (which comments out a node, an
// argument or a children block), quoted and raw strings, type annotations,
// properties and line continuations are understood; a text that is not
// KDL fails with its line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>

namespace hidsystemd_backend {

struct KdlNode {
    std::string name;
    // The node's own text: from its name (or type annotation) to its last
    // token, the closing brace of its children included.
    std::size_t begin = 0;
    std::size_t end = 0;
    // Arguments in order: strings decoded, anything else as written
    // ("0.5", "true"). Properties (key=value) are not arguments.
    std::vector<std::string> arguments;
    // Between the braces of its children block, when it has one.
    std::optional<std::size_t> children_begin;
    std::optional<std::size_t> children_end;
};

// The nodes of text[begin, end) (a whole document, or the inside of a
// children block), offsets into text; `/-`'d nodes left out.
Result<std::vector<KdlNode>> parse_kdl_nodes(std::string_view text, std::size_t begin, std::size_t end);
inline Result<std::vector<KdlNode>> parse_kdl_document(std::string_view text) {
    return parse_kdl_nodes(text, 0, text.size());
}
// The children of a node (none when it has no block).
Result<std::vector<KdlNode>> kdl_children(std::string_view text, const KdlNode &node);

// A string as a KDL argument: quoted, with \ and " escaped.
std::string kdl_quoted(std::string_view text);

}  // namespace hidsystemd_backend
