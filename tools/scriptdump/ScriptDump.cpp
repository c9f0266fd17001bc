// vorly-scriptdump <file>: reads one script file from disk (not through the
// archive), parses it as the loaders do and prints what the engine would hold:
// the debug-log lines the parse wrote ("log: ..."), then the node tree, one
// node per line, indented by depth:
//
//   <code> <name> [label=".."] [var=".."] [text=".."] [file=".."]
//       [types{<id> <name>=<type> <type name>, ..}] [children{<id> <name>=<number>, ..}]
//       [params[<number>, ..]] [own=<number>] [floats[..]]
//
// where a number prints as its text in quotes, a slash and its kind.
// Exit status: 0 after a parse (complete or not), 1 when the file cannot be
// read or an expression does not compile, 2 on a usage error.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Path.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "services/DebugInfo.h"

namespace fs = std::filesystem;

namespace {

// Quotes game text (cp932) for a UTF-8 terminal, escaping what would break
// the one-line form.
std::string quotedText(std::string_view cp932) {
    std::string out = "\"";
    for (char c : text::cp932ToUtf8(cp932)) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* kindName(int kind) {
    static const char* const kNames[] = {"compiled", "literal", "param", "builtin", "objvar", "global", "dynamic"};
    return kind >= 0 && kind < 7 ? kNames[kind] : "?";
}

std::string numberText(const BulletML_Node_Number* number) {
    if (!number) return "null";
    return quotedText(nameText(number->getText())) + "/" + kindName(number->getKind());
}

std::string idText(std::int32_t id) {
    std::string_view name = ElementIdTable::instance().elementName(id);
    return std::to_string(id) + " " + (name.empty() ? std::string("?") : std::string(name));
}

std::string typeText(std::int32_t type) {
    std::string_view name = ElementIdTable::instance().typeValueName(type);
    return std::to_string(type) + (name.empty() ? std::string() : " " + std::string(name));
}

std::string floatText(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

std::string nodeLine(const BulletML_Node& node) {
    std::string line = idText(node.getCode());
    if (NameHandle label = node.getLabel()) line += " label=" + quotedText(text::narrow(wideNameText(label)));
    if (NameHandle variable = node.getVariable()) line += " var=" + quotedText(nameText(variable));
    if (!node.getText().empty()) line += " text=" + quotedText(node.getText());
    if (NameHandle file = node.getFileName()) line += " file=" + quotedText(nameText(file));
    if (!node.childTypes().empty()) {
        std::string types;
        for (const auto& [id, type] : node.childTypes()) {
            types += (types.empty() ? "" : ", ") + idText(id) + "=" + typeText(type);
        }
        line += " types{" + types + "}";
    }
    if (!node.children().empty()) {
        std::string children;
        for (const auto& [id, number] : node.children()) {
            children += (children.empty() ? "" : ", ") + idText(id) + "=" + numberText(number);
        }
        line += " children{" + children + "}";
    }
    if (node.getParamCount() > 0) {
        std::string params;
        for (std::uint32_t i = 0; i < node.getParamCount(); ++i) {
            params += (i ? ", " : "") + numberText(node.getParam(i));
        }
        line += " params[" + params + "]";
    }
    if (node.getValue()) line += " own=" + numberText(node.getValue());
    if (node.hasFloatArray()) {
        float values[BulletML_Node::kFloatCount];
        node.getFloatArray(values);
        std::string floats;
        for (int i = 0; i < BulletML_Node::kFloatCount; ++i) floats += (i ? " " : "") + floatText(values[i]);
        line += " floats[" + floats + "]";
    }
    return line;
}

// Depth first, without recursion; a node met twice is printed once.
void printTree(const BulletML_Node* root) {
    std::vector<std::pair<const BulletML_Node*, int>> stack{{root, 0}};
    std::set<const BulletML_Node*> seen;
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        if (!seen.insert(node).second) continue;
        std::printf("%s%s\n", std::string(static_cast<size_t>(depth) * 2, ' ').c_str(), nodeLine(*node).c_str());
        for (std::uint32_t i = node->getChildCount(); i-- > 0;) stack.emplace_back(node->getChildNode(i), depth + 1);
    }
}

// A temporary folder for the debug log, removed on exit. Its lines are echoed
// once; when a script error ends the program through the fatal path (exit
// status 1), the echo happens as the process exits.
struct LogFolder {
    TempFolder folder{"vorly-scriptdump"};
    bool echoed = false;
    void echo() {
        if (echoed) return;
        echoed = true;
        folder.echoLines("debug.txt", stdout, "log: ");
    }
    ~LogFolder() { echo(); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <script file>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    markMainThread();
    static LogFolder logFolder;
    if (logFolder.folder.ok()) {
        Path::setRoot(logFolder.folder.path());
        g_debugInfo = new DebugInfo("debug.txt");
    }

    BoostContentHandler handler;
    parseXml(text::widen(bytes), handler, fs::path(argv[1]).filename().string());

    delete g_debugInfo;
    g_debugInfo = nullptr;
    logFolder.echo();

    BulletML_Node_Manager* document = handler.getHandler()->getDocument();
    if (!document) {
        std::printf("(configuration document: no node tree)\n");
        return 0;
    }
    printTree(document->getRoot());
    return 0;
}
