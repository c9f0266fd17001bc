#include "platform/gfx/XFileReader.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/gfx/D3DXMath.h"

namespace {
constexpr std::size_t kHeaderSize = 16;
// The deepest nesting of data objects (frames and what they hold).
constexpr int kMaxObjectDepth = kXFileMaxFrameDepth + 8;

enum class Tok { End, Name, String, Number, Guid, Open, Close, Separator, Template, Other, Error };

struct Token {
    Token(Tok k = Tok::End, std::string_view t = {}, double n = 0.0) : kind(k), text(t), number(n) {}
    Tok kind;
    std::string_view text;  // names and strings
    double number;
};

// Tokens of the text or the binary form. Binary integer and float lists come
// out one number at a time: one list may hold several members and one member
// may span lists, so values are read as a stream.
class Lexer {
public:
    Lexer(const std::uint8_t* bytes, std::size_t size, bool binary, bool doubles)
        : start_(bytes), p_(bytes), end_(bytes + size), binary_(binary), doubles_(doubles) {}

    Token next() {
        if (peeked_) {
            peeked_ = false;
            return peek_;
        }
        return binary_ ? nextBinary() : nextText();
    }
    const Token& peek() {
        if (!peeked_) {
            peek_ = next();
            peeked_ = true;
        }
        return peek_;
    }
    // The values still to come lie in the bytes after the cursor.
    std::size_t bytesLeft() const { return static_cast<std::size_t>(end_ - p_); }
    // How far the reading has come.
    std::size_t bytesRead() const { return static_cast<std::size_t>(p_ - start_); }

private:
    static bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
    static bool endsWord(std::uint8_t c) {
        return isSpace(c) || c == ',' || c == ';' || c == '{' || c == '}' || c == '<' || c == '"' || c == '#' ||
               c == '/';
    }

    Token nextText() {
        for (;;) {
            while (p_ < end_ && isSpace(*p_)) ++p_;
            if (p_ == end_) return {Tok::End};
            if (*p_ == '#' || (*p_ == '/' && end_ - p_ > 1 && p_[1] == '/')) {
                while (p_ < end_ && *p_ != '\n') ++p_;
                continue;
            }
            break;
        }
        const std::uint8_t c = *p_;
        if (c == ',' || c == ';') {
            ++p_;
            return {Tok::Separator};
        }
        if (c == '{') {
            ++p_;
            return {Tok::Open};
        }
        if (c == '}') {
            ++p_;
            return {Tok::Close};
        }
        if (c == '<') {
            const std::uint8_t* close = static_cast<const std::uint8_t*>(std::memchr(p_, '>', end_ - p_));
            if (!close) return {Tok::Error};
            p_ = close + 1;
            return {Tok::Guid};
        }
        if (c == '"') {
            // Taken byte for byte: no escapes, cp932 kept.
            const std::uint8_t* close = static_cast<const std::uint8_t*>(std::memchr(p_ + 1, '"', end_ - p_ - 1));
            if (!close) return {Tok::Error};
            Token t{Tok::String, std::string_view(reinterpret_cast<const char*>(p_ + 1), close - p_ - 1)};
            p_ = close + 1;
            return t;
        }
        if (c == '/') {
            ++p_;
            return {Tok::Other};
        }
        const std::uint8_t* start = p_;
        while (p_ < end_ && !endsWord(*p_)) ++p_;
        const std::string_view word(reinterpret_cast<const char*>(start), p_ - start);
        if (word == "template") return {Tok::Template};
        const std::uint8_t first = start[0];
        if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
            // strtod over a bounded copy (the file is not NUL-terminated).
            char buffer[64];
            if (word.size() >= sizeof buffer) return {Tok::Error};
            std::memcpy(buffer, word.data(), word.size());
            buffer[word.size()] = '\0';
            char* stop = nullptr;
            const double value = std::strtod(buffer, &stop);
            if (stop != buffer + word.size()) return {Tok::Error};
            return {Tok::Number, {}, value};
        }
        return {Tok::Name, word};
    }

    bool take(std::size_t n) const { return static_cast<std::size_t>(end_ - p_) >= n; }
    std::uint32_t u16() {
        const std::uint32_t v = std::uint32_t(p_[0]) | std::uint32_t(p_[1]) << 8;
        p_ += 2;
        return v;
    }
    std::uint32_t u32() {
        const std::uint32_t v = u16();
        return v | u16() << 16;
    }

    Token nextBinary() {
        if (listLeft_ != 0) {
            --listLeft_;
            if (listFloats_) {
                double value;
                if (doubles_) {
                    std::memcpy(&value, p_, 8);
                    p_ += 8;
                } else {
                    float f;
                    std::memcpy(&f, p_, 4);
                    p_ += 4;
                    value = f;
                }
                return {Tok::Number, {}, value};
            }
            return {Tok::Number, {}, static_cast<double>(u32())};
        }
        if (p_ == end_) return {Tok::End};
        if (!take(2)) return {Tok::Error};
        const std::uint32_t code = u16();
        switch (code) {
            case 1:
            case 2: {
                if (!take(4)) return {Tok::Error};
                const std::uint32_t length = u32();
                if (!take(length)) return {Tok::Error};
                Token t{code == 1 ? Tok::Name : Tok::String,
                        std::string_view(reinterpret_cast<const char*>(p_), length)};
                p_ += length;
                if (code == 2) {
                    // The terminator token that ends a string member.
                    if (!take(2)) return {Tok::Error};
                    u16();
                }
                return t;
            }
            case 3:
                if (!take(4)) return {Tok::Error};
                return {Tok::Number, {}, static_cast<double>(u32())};
            case 5:
                if (!take(16)) return {Tok::Error};
                p_ += 16;
                return {Tok::Guid};
            case 6:
            case 7: {
                if (!take(4)) return {Tok::Error};
                const std::uint32_t count = u32();
                listFloats_ = code == 7;
                listWidth_ = listFloats_ ? (doubles_ ? 8 : 4) : 4;
                if (count > (end_ - p_) / listWidth_) return {Tok::Error};
                listLeft_ = count;
                // An empty list reads as a separator.
                return listLeft_ == 0 ? Token{Tok::Separator} : nextBinary();
            }
            case 10: return {Tok::Open};
            case 11: return {Tok::Close};
            case 19:
            case 20: return {Tok::Separator};
            case 31: return {Tok::Template};
            default:
                if ((code >= 12 && code <= 18) || (code >= 40 && code <= 53)) return {Tok::Other};
                return {Tok::Error};
        }
    }

    const std::uint8_t* start_;
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool binary_;
    bool doubles_;
    Token peek_;
    bool peeked_ = false;
    std::uint32_t listLeft_ = 0;
    std::uint32_t listWidth_ = 4;
    bool listFloats_ = false;
};

struct Invalid {};

// One mesh as read, before it joins the others.
struct MeshPart {
    std::vector<D3DXVECTOR3> positions;
    std::vector<std::vector<std::uint32_t>> faces;
    std::vector<std::vector<std::uint32_t>> normalFaces;
    std::vector<std::array<float, 2>> uvs;
    std::vector<std::uint32_t> faceMaterials;
    std::vector<XFileMaterial> materials;
    bool hasMaterialList = false;
};

class Parser {
public:
    Parser(Lexer& lexer, XFileContent& out) : lex_(lexer), out_(out) {}

    bool sawMesh() const { return sawMesh_; }

    void file() {
        for (;;) {
            Token t = lex_.next();
            switch (t.kind) {
                case Tok::End: return;
                case Tok::Template: skipTemplate(); break;
                case Tok::Name: object(t.text, identity(), 0, nullptr); break;
                case Tok::Separator:
                case Tok::Guid: break;
                case Tok::Open: reference(); break;
                default: throw Invalid{};
            }
        }
    }

private:
    static D3DXMATRIX identity() {
        D3DXMATRIX m;
        D3DXMatrixIdentity(&m);
        return m;
    }

    Token expect(Tok kind) {
        Token t = lex_.next();
        if (t.kind != kind) throw Invalid{};
        return t;
    }

    void skipTemplate() {
        expect(Tok::Name);
        expect(Tok::Open);
        skipBody();
    }

    // Past the close brace that matches an open brace already read.
    void skipBody() {
        int depth = 1;
        while (depth > 0) {
            const Token t = lex_.next();
            if (t.kind == Tok::Open) ++depth;
            else if (t.kind == Tok::Close) --depth;
            else if (t.kind == Tok::End || t.kind == Tok::Error) throw Invalid{};
        }
    }

    // "{ Name [<guid>] }" after its open brace; the name.
    std::string_view reference() {
        Token t = lex_.next();
        std::string_view name;
        if (t.kind == Tok::Name) {
            name = t.text;
            t = lex_.next();
        }
        if (t.kind == Tok::Guid) t = lex_.next();
        if (t.kind != Tok::Close) throw Invalid{};
        return name;
    }

    Token value() {
        for (;;) {
            Token t = lex_.next();
            if (t.kind == Tok::Separator) continue;
            return t;
        }
    }
    double number() {
        const Token t = value();
        if (t.kind != Tok::Number) throw Invalid{};
        return t.number;
    }
    float real() { return static_cast<float>(number()); }
    // A count, checked against the bytes left: every value takes one byte
    // at least.
    std::uint32_t count() {
        const std::uint32_t c = whole();
        if (c > lex_.bytesLeft()) throw Invalid{};
        return c;
    }
    std::uint32_t whole() {
        const double n = number();
        if (!(n >= 0.0 && n <= 4294967295.0) || n != static_cast<double>(static_cast<std::uint32_t>(n)))
            throw Invalid{};
        return static_cast<std::uint32_t>(n);
    }
    std::uint32_t index(std::uint32_t limit) {
        const std::uint32_t i = whole();
        if (i >= limit) throw Invalid{};
        return i;
    }

    // After "Identifier": [name] [<guid>] "{".
    std::string_view header() {
        std::string_view name;
        Token t = lex_.next();
        if (t.kind == Tok::Name) {
            name = t.text;
            t = lex_.next();
        }
        if (t.kind == Tok::Guid) t = lex_.next();
        if (t.kind != Tok::Open) throw Invalid{};
        return name;
    }

    // The rest of an object's body: members left over, nested objects,
    // references. Each nested object and reference goes to `child`.
    template <typename Child, typename Ref>
    void children(Child&& child, Ref&& ref) {
        for (;;) {
            Token t = lex_.next();
            switch (t.kind) {
                case Tok::Close: return;
                case Tok::Name: child(t.text); break;
                case Tok::Open: ref(reference()); break;
                case Tok::End:
                case Tok::Error:
                case Tok::Template: throw Invalid{};
                default: break;
            }
        }
    }

    void object(std::string_view type, const D3DXMATRIX& world, int depth, MeshPart* mesh) {
        if (depth > kMaxObjectDepth) throw Invalid{};
        const std::string_view name = header();
        if (type == "Frame") {
            frame(world, depth);
        } else if (type == "Mesh") {
            meshObject(world, depth);
        } else if (type == "Material") {
            // Top-level materials are found by name; one inside a mesh but
            // outside its material list belongs to no face.
            XFileMaterial m = material(depth);
            if (!mesh && !name.empty()) namedMaterials_[std::string(name)] = m;
        } else if (mesh && type == "MeshNormals") {
            normals(*mesh);
        } else if (mesh && type == "MeshTextureCoords") {
            textureCoords(*mesh);
        } else if (mesh && type == "MeshMaterialList") {
            materialList(*mesh, depth);
        } else {
            skipBody();
        }
    }

    void frame(const D3DXMATRIX& parent, int depth) {
        if (++frameDepth_ > kXFileMaxFrameDepth) throw Invalid{};
        // A point of a nested mesh is p · M_inner · … · M_outer.
        D3DXMATRIX world = parent;
        children(
            [&](std::string_view type) {
                if (type == "FrameTransformMatrix") {
                    // Exporters name it ("FrameTransformMatrix relative {").
                    header();
                    D3DXMATRIX local;
                    for (int i = 0; i < 16; ++i) local.m[i / 4][i % 4] = real();
                    skipRest();
                    D3DXMatrixMultiply(&world, &local, &parent);
                } else {
                    object(type, world, depth + 1, nullptr);
                }
            },
            [](std::string_view) {});
        --frameDepth_;
    }

    // Members nobody reads, to the object's close brace.
    void skipRest() {
        for (;;) {
            const Token t = lex_.next();
            if (t.kind == Tok::Close) return;
            if (t.kind == Tok::Open) skipBody();
            else if (t.kind == Tok::End || t.kind == Tok::Error) throw Invalid{};
        }
    }

    void meshObject(const D3DXMATRIX& world, int depth) {
        MeshPart mesh;
        const std::uint32_t vertexCount = count();
        mesh.positions.reserve(vertexCount);
        for (std::uint32_t i = 0; i < vertexCount; ++i) {
            D3DXVECTOR3 p;
            p.x = real();
            p.y = real();
            p.z = real();
            D3DXVECTOR3 placed;
            D3DXVec3TransformCoord(&placed, &p, &world);
            mesh.positions.push_back(placed);
        }
        mesh.faces = faceList(vertexCount);
        children([&](std::string_view type) { object(type, world, depth + 1, &mesh); },
                 [](std::string_view) {});
        sawMesh_ = true;
        join(mesh);
    }

    std::vector<std::vector<std::uint32_t>> faceList(std::uint32_t vertexCount) {
        const std::uint32_t faceCount = count();
        std::vector<std::vector<std::uint32_t>> faces;
        faces.reserve(faceCount);
        for (std::uint32_t f = 0; f < faceCount; ++f) {
            const std::uint32_t corners = count();
            if (corners < 3) throw Invalid{};
            std::vector<std::uint32_t> face;
            face.reserve(corners);
            for (std::uint32_t c = 0; c < corners; ++c) face.push_back(index(vertexCount));
            faces.push_back(std::move(face));
        }
        return faces;
    }

    void normals(MeshPart& mesh) {
        const std::uint32_t n = count();
        for (std::uint64_t i = 0; i < 3 * std::uint64_t(n); ++i) number();
        mesh.normalFaces = faceList(n);
        skipRest();
    }

    void textureCoords(MeshPart& mesh) {
        const std::uint32_t n = count();
        mesh.uvs.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const float u = real();
            mesh.uvs.push_back({u, real()});
        }
        skipRest();
    }

    void materialList(MeshPart& mesh, int depth) {
        const std::uint32_t materialCount = count();
        const std::uint32_t faceIndexCount = count();
        std::vector<std::uint32_t> faceMaterials;
        faceMaterials.reserve(faceIndexCount);
        for (std::uint32_t i = 0; i < faceIndexCount; ++i) faceMaterials.push_back(index(materialCount));
        // Only materials and references count here; anything else (another
        // list among them) is skipped, so nothing overrides this list's face
        // indexes behind its back.
        std::vector<XFileMaterial> materials;
        children(
            [&](std::string_view type) {
                if (type == "Material") {
                    if (depth + 1 > kMaxObjectDepth) throw Invalid{};
                    header();
                    materials.push_back(material(depth + 1));
                } else {
                    object(type, identity(), depth + 1, nullptr);
                }
            },
            [&](std::string_view name) {
                auto found = namedMaterials_.find(std::string(name));
                materials.push_back(found != namedMaterials_.end() ? found->second : XFileMaterial{});
            });
        // As many materials as the list names: missing ones white, extra
        // ones unused. A later list replaces an earlier one whole.
        materials.resize(materialCount);
        mesh.hasMaterialList = true;
        mesh.faceMaterials = std::move(faceMaterials);
        mesh.materials = std::move(materials);
    }

    XFileMaterial material(int depth) {
        XFileMaterial m;
        for (float& c : m.diffuse) c = real();
        m.power = real();
        for (float& c : m.specular) c = real();
        for (float& c : m.emissive) c = real();
        children(
            [&](std::string_view type) {
                if (type == "TextureFilename" || type == "TextureFileName") {
                    header();
                    const Token t = value();
                    if (t.kind != Tok::String) throw Invalid{};
                    m.textureName = std::string(t.text);
                    skipRest();
                } else {
                    object(type, identity(), depth + 1, nullptr);
                }
            },
            [](std::string_view) {});
        return m;
    }

    // The mesh joins the collapsed one.
    void join(const MeshPart& mesh) {
        const auto attributeBase = static_cast<std::uint32_t>(out_.materials.size());
        // A list naming no material stands for none: the faces would
        // otherwise take the next mesh's first material.
        if (mesh.hasMaterialList && !mesh.materials.empty()) {
            out_.materials.insert(out_.materials.end(), mesh.materials.begin(), mesh.materials.end());
        } else {
            out_.materials.push_back(XFileMaterial{});
        }
        // Normal indices count only where they describe the same faces.
        bool useNormals = mesh.normalFaces.size() == mesh.faces.size();
        for (std::size_t f = 0; useNormals && f < mesh.faces.size(); ++f)
            useNormals = mesh.normalFaces[f].size() == mesh.faces[f].size();
        std::unordered_map<std::uint64_t, std::uint32_t> vertexOf;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const std::vector<std::uint32_t>& face = mesh.faces[f];
            std::uint32_t attribute = 0;
            if (!mesh.faceMaterials.empty())
                attribute = mesh.faceMaterials[std::min(f, mesh.faceMaterials.size() - 1)];
            std::vector<std::uint32_t> corners;
            corners.reserve(face.size());
            for (std::size_t c = 0; c < face.size(); ++c) {
                const std::uint32_t position = face[c];
                const std::uint32_t normal = useNormals ? mesh.normalFaces[f][c] : 0;
                const std::uint64_t key = std::uint64_t(position) << 32 | normal;
                auto [it, inserted] = vertexOf.try_emplace(key, static_cast<std::uint32_t>(out_.vertices.size()));
                if (inserted) {
                    XFileVertex v;
                    v.x = mesh.positions[position].x;
                    v.y = mesh.positions[position].y;
                    v.z = mesh.positions[position].z;
                    if (position < mesh.uvs.size()) {
                        v.u = mesh.uvs[position][0];
                        v.v = mesh.uvs[position][1];
                    }
                    out_.vertices.push_back(v);
                    if (out_.vertices.size() > 65535) throw Invalid{};
                }
                corners.push_back(it->second);
            }
            // Fanned: (v0, vi, vi+1).
            for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
                out_.indices.push_back(corners[0]);
                out_.indices.push_back(corners[i]);
                out_.indices.push_back(corners[i + 1]);
                out_.attributes.push_back(attributeBase + attribute);
            }
        }
    }

    Lexer& lex_;
    XFileContent& out_;
    std::map<std::string, XFileMaterial> namedMaterials_;
    int frameDepth_ = 0;
    bool sawMesh_ = false;
};
}  // namespace

namespace {
HRESULT refuse(XFileProblem* problem, std::string reason, std::size_t offset) {
    if (problem) *problem = {std::move(reason), offset};
    return D3DXERR_INVALIDDATA;
}
}  // namespace

HRESULT readXFile(const std::uint8_t* bytes, std::size_t size, XFileContent& out, XFileProblem* problem) {
    out = XFileContent{};
    if (!bytes || size < kHeaderSize) return refuse(problem, "shorter than the header", 0);
    const std::string_view header(reinterpret_cast<const char*>(bytes), kHeaderSize);
    if (header.substr(0, 4) != "xof " || (header.substr(4, 4) != "0302" && header.substr(4, 4) != "0303"))
        return refuse(problem, "not an X file header", 0);
    const std::string_view format = header.substr(8, 4);
    const std::string_view floatSize = header.substr(12, 4);
    if (floatSize != "0032" && floatSize != "0064") return refuse(problem, "float size", 12);
    // Contents too large to hold fail the load like any other refusal.
    try {
        bool binary;
        std::vector<std::uint8_t> inflated;
        const std::uint8_t* body = bytes;
        std::size_t bodySize = size;
        if (format == "txt " || format == "bin ") {
            binary = format == "bin ";
        } else if (format == "tzip" || format == "bzip") {
            binary = format == "bzip";
            std::size_t failedAt = 0;
            if (!inflateMszip(bytes, size, inflated, &failedAt)) {
                return refuse(problem, "compressed body (at most " + std::to_string(kMaxInflatedXFileBytes) +
                                           " bytes inflated)", failedAt);
            }
            body = inflated.data();
            bodySize = inflated.size();
        } else {
            return refuse(problem, "format", 8);
        }
        Lexer lexer(body + kHeaderSize, bodySize - kHeaderSize, binary, floatSize == "0064");
        Parser parser(lexer, out);
        try {
            parser.file();
        } catch (const Invalid&) {
            out = XFileContent{};
            return refuse(problem, body == bytes ? "contents" : "inflated contents", kHeaderSize + lexer.bytesRead());
        }
        if (!parser.sawMesh()) {
            if (problem) *problem = {"no mesh", size};
            return D3DXERR_LOADEDMESHASNODATA;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        out = XFileContent{};
        if (problem) *problem = {"out of memory", 0};
        return E_OUTOFMEMORY;
    }
}
