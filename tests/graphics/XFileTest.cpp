// X files through the reader and the in-memory mesh: one model written as
// text, binary (32- and 64-bit floats) and MSZIP (one and several blocks)
// reads the same; frames transform, n-gons fan, normal indices split
// vertices, short material lists repeat, references find top-level
// materials; hostile files are refused without harm; the optimised mesh's
// subsets cover dense vertex ranges; normals are angle-weighted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "platform/gfx/D3DXMesh.h"
#include "platform/gfx/XFileReader.h"
#include "support/XFileWriter.h"

namespace {

// A frame (translation 1, 2, 3, in a named matrix object) holding a frame (scale 2) holding a mesh: a
// quad and a triangle over five positions, normal indices that give
// position 1 two normals, texture coordinates, a material list of two
// materials with one face index (the last repeats): an inline material with
// a cp932 texture name and a reference to a top-level one. A template and an
// animation set around it are skipped.
XTokens model() {
    XTokens x;
    x.name("template").name("Unused").open().name("<3D82AB43-62DA-11cf-AB39-0020AF71E433>").close();
    x.object("Material", "Red", [](XTokens& m) {
        m.floats({1.0, 0.0, 0.0, 1.0}).floats({5.0}).floats({0.1, 0.2, 0.3}).floats({0.0, 0.0, 0.5});
    });
    x.object("Frame", "Root", [](XTokens& outer) {
        outer.object("FrameTransformMatrix", "relative", [](XTokens& m) {
            m.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
        });
        outer.object("Frame", "Inner", [](XTokens& inner) {
            inner.object("FrameTransformMatrix", "", [](XTokens& m) {
                m.floats({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
            });
            inner.object("Mesh", "Shape", [](XTokens& mesh) {
                mesh.ints({5}).floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0});
                mesh.ints({2}).ints({4, 0, 1, 2, 3}).ints({3, 1, 4, 2});
                mesh.object("MeshNormals", "", [](XTokens& n) {
                    n.ints({2}).floats({0, 0, -1, 0, 0, 1});
                    n.ints({2}).ints({4, 0, 0, 0, 0}).ints({3, 1, 1, 1});
                });
                mesh.object("MeshTextureCoords", "", [](XTokens& t) {
                    t.ints({5}).floats({0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.5});
                });
                mesh.object("VertexDuplicationIndices", "", [](XTokens& d) { d.ints({5, 5, 0, 1, 2, 3, 4}); });
                mesh.object("MeshMaterialList", "", [](XTokens& l) {
                    l.ints({2, 1, 1});
                    l.object("Material", "", [](XTokens& m) {
                        m.floats({0.639216, 0.5, 0.25, 1.0}).floats({0.0}).floats({0, 0, 0}).floats({0, 0, 0});
                        m.object("TextureFilename", "", [](XTokens& t) { t.string("\x83\x65\x83\x58\x83\x67.bmp"); });
                    });
                    l.open().name("Red").close();
                });
            });
        });
    });
    x.object("AnimationSet", "Idle", [](XTokens& a) {
        a.object("Animation", "", [](XTokens& b) { b.open().name("Root").close().ints({1, 2, 3}); });
    });
    return x;
}

std::string describe(const XFileContent& c) {
    std::string text;
    char line[160];
    for (const XFileVertex& v : c.vertices) {
        std::snprintf(line, sizeof line, "v %g %g %g %g %g\n", v.x, v.y, v.z, v.u, v.v);
        text += line;
    }
    for (std::size_t f = 0; f < c.attributes.size(); ++f) {
        std::snprintf(line, sizeof line, "f %u %u %u a%u\n", c.indices[3 * f], c.indices[3 * f + 1],
                      c.indices[3 * f + 2], c.attributes[f]);
        text += line;
    }
    for (const XFileMaterial& m : c.materials) {
        std::snprintf(line, sizeof line, "m %g %g %g %g p%g e%g t[%s]\n", m.diffuse[0], m.diffuse[1], m.diffuse[2],
                      m.diffuse[3], m.power, m.emissive[2], m.textureName.c_str());
        text += line;
    }
    return text;
}

HRESULT read(const std::vector<std::uint8_t>& file, XFileContent& out) {
    return readXFile(file.data(), file.size(), out);
}

TEST(XFileReader, EveryFormReadsTheSameModel) {
    const XTokens x = model();
    const std::vector<std::uint8_t> text = writeXText(x);
    XFileContent content;
    ASSERT_EQ(read(text, content), S_OK);
    // Positions: p · scale 2 · translate (1, 2, 3). Positions 1 and 2 split
    // by their two normal indices; the quad fans into two triangles; the one face
    // index (material 1) stands for every face.
    EXPECT_EQ(describe(content),
              "v 1 2 3 0 0\n"
              "v 3 2 3 1 0\n"
              "v 3 4 3 1 1\n"
              "v 1 4 3 0 1\n"
              "v 3 2 3 1 0\n"
              "v 5 2 3 0.5 0.5\n"
              "v 3 4 3 1 1\n"
              "f 0 1 2 a1\n"
              "f 0 2 3 a1\n"
              "f 4 5 6 a1\n"
              "m 0.639216 0.5 0.25 1 p0 e0 t[\x83\x65\x83\x58\x83\x67.bmp]\n"
              "m 1 0 0 1 p5 e0.5 t[]\n");
    // Comments of both kinds after every open brace, holding what would
    // end an object or start a string.
    std::string commented;
    for (std::uint8_t c : text) {
        commented += char(c);
        if (c == '{') commented += " # } \" {\n// } ;\n";
    }
    struct Form {
        const char* name;
        std::vector<std::uint8_t> file;
    } forms[] = {
        {"text with comments", std::vector<std::uint8_t>(commented.begin(), commented.end())},
        {"binary", writeXBinary(x)},
        {"binary 64", writeXBinary(x, true)},
        {"text zip", compressMszip(text)},
        {"text zip, 64-byte blocks", compressMszip(text, 64)},
        {"binary zip, 100-byte blocks", compressMszip(writeXBinary(x), 100)},
        {"binary 64 zip", compressMszip(writeXBinary(x, true), 1000)},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        XFileContent other;
        ASSERT_EQ(read(form.file, other), S_OK);
        EXPECT_EQ(describe(other), describe(content));
    }
}

TEST(XFileReader, MeshesCollapseInFileOrder) {
    // Two meshes: the second's materials follow the first's; a mesh without
    // a material list gets one white material; a pentagon fans into three.
    XTokens x;
    x.object("Mesh", "", [](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [](XTokens& mat) {
                mat.floats({0.5, 0.5, 0.5, 1, 1, 0, 0, 0, 0, 0, 0});
            });
        });
    });
    x.object("Mesh", "", [](XTokens& m) {
        m.ints({5}).floats({0, 0, 0, 1, 0, 0, 2, 1, 0, 1, 2, 0, 0, 1, 0}).ints({1, 5, 0, 1, 2, 3, 4});
    });
    XFileContent c;
    ASSERT_EQ(read(writeXText(x), c), S_OK);
    EXPECT_EQ(c.vertices.size(), 8u);
    EXPECT_EQ(c.attributes, (std::vector<std::uint32_t>{0, 1, 1, 1}));
    EXPECT_EQ(c.indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6, 3, 6, 7}));
    ASSERT_EQ(c.materials.size(), 2u);
    EXPECT_EQ(c.materials[1].diffuse[0], 1.0f);
    EXPECT_EQ(c.materials[1].textureName, "");

    // A material list naming no material stands for none: its mesh gets its
    // own white material rather than the next mesh's first one.
    XTokens empty;
    empty.object("Mesh", "", [](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        m.object("MeshMaterialList", "", [](XTokens& l) { l.ints({0, 0}); });
    });
    empty.object("Mesh", "", [](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [](XTokens& mat) { mat.floats({0.5, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}); });
        });
    });
    // Two lists in one mesh: the later one stands, with none of the
    // earlier one's face indexes.
    XTokens twice;
    twice.object("Mesh", "", [](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({2, 1, 1});
            for (int i = 0; i < 2; ++i)
                l.object("Material", "", [](XTokens& mat) { mat.floats({0.5, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}); });
        });
        m.object("MeshMaterialList", "", [](XTokens& l) { l.ints({0, 0}); });
    });
    // A list inside a list is skipped: the outer list's face index and
    // material stand.
    XTokens nested;
    nested.object("Mesh", "", [](XTokens& m) {
        m.ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("MeshMaterialList", "", [](XTokens& inner) { inner.ints({3, 1, 2}); });
            l.object("Material", "", [](XTokens& mat) { mat.floats({0.25, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}); });
        });
    });
    struct Case {
        const XTokens* tokens;
        float diffuse;
    } cases[] = {{&twice, 1.0f}, {&nested, 0.25f}};
    for (const Case& c : cases) {
        for (const std::vector<std::uint8_t>& file : {writeXText(*c.tokens), writeXBinary(*c.tokens)}) {
            XFileContent t;
            ASSERT_EQ(read(file, t), S_OK);
            EXPECT_EQ(t.attributes, (std::vector<std::uint32_t>{0}));
            ASSERT_EQ(t.materials.size(), 1u);
            EXPECT_EQ(t.materials[0].diffuse[0], c.diffuse);
        }
    }
    for (const std::vector<std::uint8_t>& file : {writeXText(empty), writeXBinary(empty)}) {
        XFileContent e;
        ASSERT_EQ(read(file, e), S_OK);
        EXPECT_EQ(e.attributes, (std::vector<std::uint32_t>{0, 1}));
        ASSERT_EQ(e.materials.size(), 2u);
        EXPECT_EQ(e.materials[0].diffuse[0], 1.0f);
        EXPECT_EQ(e.materials[1].diffuse[0], 0.5f);
    }
}

TEST(XFileReader, HostileFilesAreRefused) {
    const std::vector<std::uint8_t> good = writeXText(model());
    auto raw = [](const std::string& all) { return std::vector<std::uint8_t>(all.begin(), all.end()); };
    auto text = [](const std::string& body) {
        std::vector<std::uint8_t> file;
        const std::string all = "xof 0303txt 0032" + body;
        file.assign(all.begin(), all.end());
        return file;
    };
    // A literal's bytes, NULs included.
    auto bytes = [](const auto& literal) {
        return std::vector<std::uint8_t>(literal, literal + sizeof literal - 1);
    };
    std::vector<std::uint8_t> deepFrames;
    {
        std::string body;
        for (int i = 0; i < 65; ++i) body += "Frame {";
        body += "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }";
        for (int i = 0; i < 65; ++i) body += "}";
        deepFrames = text(body);
    }
    std::vector<std::uint8_t> badTotal = compressMszip(good, 200);
    badTotal[16] ^= 0x01;
    std::vector<std::uint8_t> badCk = compressMszip(good, 200);
    badCk[24] = 'X';
    std::vector<std::uint8_t> badDeflate = compressMszip(good, 200);
    for (std::size_t i = 26; i < 40; ++i) badDeflate[i] = 0xFF;
    std::vector<std::uint8_t> trailing = compressMszip(good);
    trailing.push_back(0);
    struct Row {
        const char* name;
        std::vector<std::uint8_t> file;
        HRESULT expected;
    } rows[] = {
        {"empty", {}, D3DXERR_INVALIDDATA},
        {"magic", raw("xofx0303txt 0032Mesh{}"), D3DXERR_INVALIDDATA},
        {"version", raw("xof 0304txt 0032Mesh{}"), D3DXERR_INVALIDDATA},
        {"format", raw("xof 0303xml 0032Mesh{}"), D3DXERR_INVALIDDATA},
        {"float size", raw("xof 0303txt 0016Mesh{}"), D3DXERR_INVALIDDATA},
        {"binary token", raw("xof 0303bin 0032\x63\x00"), D3DXERR_INVALIDDATA},
        // Counts of 2^32 - 1 in a short file: refused before anything is read
        // or reserved.
        {"binary list count",
         bytes("xof 0303bin 0032\x01\x00\x04\x00\x00\x00Mesh\x0a\x00"
               "\x06\x00\xff\xff\xff\xff\x01\x00\x00\x00\0\0\0\0\0\0\0\0"),
         D3DXERR_INVALIDDATA},
        {"binary float list count", bytes("xof 0303bin 0064\x07\x00\xff\xff\xff\xff"), D3DXERR_INVALIDDATA},
        {"binary name length", bytes("xof 0303bin 0032\x01\x00\xff\xff\xff\xffMesh"), D3DXERR_INVALIDDATA},
        {"zip total", bytes("xof 0303tzip0032\xff\xff\xff\xff\x10\x00\x08\x00" "CKabcdef"),
         D3DXERR_INVALIDDATA},
        {"no mesh", text("Frame { }"), D3DXERR_LOADEDMESHASNODATA},
        {"two corners", text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }"), D3DXERR_INVALIDDATA},
        {"index out of range", text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }"), D3DXERR_INVALIDDATA},
        {"huge count", text("Mesh { 4000000000; 0;0;0;; 0; }"), D3DXERR_INVALIDDATA},
        {"fractional count", text("Mesh { 2.5; 0;0;0;; 0; }"), D3DXERR_INVALIDDATA},
        {"unclosed", text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"), D3DXERR_INVALIDDATA},
        {"unterminated string", text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; T { \"abc }}"),
         D3DXERR_INVALIDDATA},
        {"material index", text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 1;; } }"),
         D3DXERR_INVALIDDATA},
        {"65 frames", deepFrames, D3DXERR_INVALIDDATA},
        {"zip total changed", badTotal, D3DXERR_INVALIDDATA},
        {"zip CK", badCk, D3DXERR_INVALIDDATA},
        {"zip deflate", badDeflate, D3DXERR_INVALIDDATA},
        {"zip trailing bytes", trailing, D3DXERR_INVALIDDATA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        XFileContent c;
        EXPECT_EQ(read(row.file, c), row.expected);
        EXPECT_TRUE(c.vertices.empty() && c.indices.empty() && c.materials.empty());
    }
    // Every truncation of every form: refused, never a crash.
    for (const std::vector<std::uint8_t>& file :
         {good, writeXBinary(model()), writeXBinary(model(), true), compressMszip(good, 300)}) {
        for (std::size_t length = 0; length < file.size(); ++length) {
            XFileContent c;
            const HRESULT hr = readXFile(file.data(), length, c);
            EXPECT_TRUE(hr == D3DXERR_INVALIDDATA || hr == D3DXERR_LOADEDMESHASNODATA || hr == S_OK) << length;
        }
    }
}

TEST(XFileReader, IndicesAreNotCountsAndLargeMeshesRead) {
    // Indices near the end of a file exceed the bytes left; they are no
    // counts and are only checked against the vertex count.
    std::vector<double> positions;
    std::vector<std::uint32_t> faces;
    const std::uint32_t count = 3000;
    for (std::uint32_t i = 0; i < count; ++i) positions.insert(positions.end(), {double(i), 0.0, 0.0});
    for (std::uint32_t i = 0; i < count; i += 3) faces.insert(faces.end(), {3, i, i + 1, i + 2});
    XTokens x;
    x.object("Mesh", "", [&](XTokens& m) { m.ints({count}).floats(positions).ints({count / 3}).ints(faces); });
    for (const std::vector<std::uint8_t>& file : {writeXBinary(x), writeXText(x)}) {
        XFileContent c;
        ASSERT_EQ(read(file, c), S_OK);
        EXPECT_EQ(c.vertices.size(), count);
        EXPECT_EQ(c.indices.back(), count - 1);
    }
}

TEST(XFileReader, MoreThan65535VerticesAreRefused) {
    // 21,846 triangles of their own corners: 65,538 vertices.
    std::vector<double> positions;
    std::vector<std::uint32_t> faces;
    const std::uint32_t count = 65538;
    for (std::uint32_t i = 0; i < count; ++i) positions.insert(positions.end(), {double(i), 0.0, 0.0});
    for (std::uint32_t i = 0; i < count; i += 3) faces.insert(faces.end(), {3, i, i + 1, i + 2});
    XTokens x;
    x.object("Mesh", "", [&](XTokens& m) { m.ints({count}).floats(positions).ints({count / 3}).ints(faces); });
    XFileContent c;
    EXPECT_EQ(read(writeXBinary(x), c), D3DXERR_INVALIDDATA);
}

// Every table entry covers a contiguous vertex range its faces' indices use
// in full and nothing outside it; entries ascend by attribute.
void expectDenseSubsets(ID3DXMesh& mesh) {
    std::uint32_t count = 0;
    mesh.GetAttributeTable(nullptr, &count);
    std::vector<D3DXATTRIBUTERANGE> table(count);
    mesh.GetAttributeTable(table.data(), &count);
    std::uint32_t faces = 0, vertices = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const D3DXATTRIBUTERANGE& r = table[i];
        if (i > 0) {
            EXPECT_LT(table[i - 1].AttribId, r.AttribId);
        }
        EXPECT_EQ(r.FaceStart, faces);
        EXPECT_EQ(r.VertexStart, vertices);
        EXPECT_GT(r.FaceCount, 0u);
        std::vector<bool> used(r.VertexCount, false);
        for (std::uint32_t f = r.FaceStart; f < r.FaceStart + r.FaceCount; ++f) {
            EXPECT_EQ(mesh.attributes()[f], r.AttribId);
            for (int c = 0; c < 3; ++c) {
                const std::uint16_t index = mesh.indices()[3 * f + c];
                ASSERT_GE(index, r.VertexStart);
                ASSERT_LT(index, r.VertexStart + r.VertexCount);
                used[index - r.VertexStart] = true;
            }
        }
        for (bool u : used) EXPECT_TRUE(u);
        faces += r.FaceCount;
        vertices += r.VertexCount;
    }
    EXPECT_EQ(faces, mesh.GetNumFaces());
    EXPECT_EQ(vertices, mesh.GetNumVertices());
}

ID3DXMesh* load(const std::vector<std::uint8_t>& file, std::vector<D3DXMATERIAL>* materials = nullptr) {
    ID3DXMesh* mesh = nullptr;
    std::uint32_t materialCount = 0;
    std::vector<std::uint32_t> adjacency;
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(file.data(), std::uint32_t(file.size()), D3DXMESH_MANAGED, nullptr,
                                        &adjacency, materials, nullptr, &materialCount, &mesh),
              S_OK);
    if (mesh) {
        EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE, adjacency.data(), nullptr,
                                        nullptr, nullptr),
                  S_OK);
    }
    return mesh;
}

TEST(XFileMesh, OptimisedSubsetsAreDenseAndSortedByAttribute) {
    // Faces alternate between materials 2 and 0 and share vertices across
    // them; material 1 has no face.
    XTokens x;
    x.object("Mesh", "", [](XTokens& m) {
        m.ints({4}).floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
        m.ints({4}).ints({3, 0, 1, 2, 3, 0, 2, 3, 3, 1, 2, 3, 3, 0, 1, 3});
        m.object("MeshMaterialList", "", [](XTokens& l) {
            l.ints({3, 4, 2, 0, 2, 0});
            for (int i = 0; i < 3; ++i)
                l.object("Material", "", [i](XTokens& mat) {
                    mat.floats({0.1 * i, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
                    if (i == 2) mat.object("TextureFileName", "", [](XTokens& t) { t.string("two.dds"); });
                });
        });
    });
    std::vector<D3DXMATERIAL> materials;
    ID3DXMesh* mesh = load(writeXText(x), &materials);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(materials.size(), 3u);
    EXPECT_EQ(materials[2].textureFilename, "two.dds");
    EXPECT_EQ(materials[0].MatD3D.Ambient.r, 0.0f);
    std::uint32_t count = 0;
    mesh->GetAttributeTable(nullptr, &count);
    std::vector<D3DXATTRIBUTERANGE> table(count);
    mesh->GetAttributeTable(table.data(), &count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceCount, 2u);
    EXPECT_EQ(table[1].AttribId, 2u);
    EXPECT_EQ(table[1].FaceStart, 2u);
    // Faces 1 and 3 (material 0) in file order, then faces 0 and 2, each
    // run numbering its vertices by first use (0, 1, 2 and 3 twice).
    EXPECT_EQ(mesh->indices(), (std::vector<std::uint16_t>{0, 1, 2, 0, 3, 2, 4, 5, 6, 5, 6, 7}));
    EXPECT_EQ(mesh->GetNumVertices(), 8u);
    expectDenseSubsets(*mesh);
    mesh->Release();

    ID3DXMesh* modelMesh = load(writeXBinary(model()));
    ASSERT_NE(modelMesh, nullptr);
    expectDenseSubsets(*modelMesh);
    modelMesh->Release();
}

TEST(XFileMesh, NormalsAreWeightedByTheAngleAtEachVertex) {
    // Vertex 0 has a right angle in the z = 0 face and 45 degrees in the
    // y = 0 face; vertex 4 belongs to no face.
    XTokens x;
    x.object("Mesh", "", [](XTokens& m) {
        m.ints({5}).floats({0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1, 9, 9, 9});
        m.ints({2}).ints({3, 0, 1, 2, 3, 0, 2, 3});
    });
    ID3DXMesh* mesh = nullptr;
    const std::vector<std::uint8_t> file = writeXText(x);
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(file.data(), std::uint32_t(file.size()), D3DXMESH_MANAGED, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, &mesh),
              S_OK);
    ASSERT_EQ(D3DXComputeNormals(mesh, nullptr), S_OK);
    const std::vector<D3DXMeshVertex>& v = mesh->vertices();
    ASSERT_EQ(v.size(), 4u);  // vertex 4 is no face corner
    // Face 0: (0,1,0) x (1,0,0) = (0,0,-1); face 1: (1,0,0) x (1,0,1) = (0,-1,0).
    const float a = float(M_PI / 2), b = float(M_PI / 4), length = std::sqrt(a * a + b * b);
    EXPECT_NEAR(v[0].nx, 0.0f, 1e-6f);
    EXPECT_NEAR(v[0].ny, -b / length, 1e-6f);
    EXPECT_NEAR(v[0].nz, -a / length, 1e-6f);
    EXPECT_NEAR(v[1].nz, -1.0f, 1e-6f);
    EXPECT_NEAR(v[3].ny, -1.0f, 1e-6f);
    mesh->Release();

    // A face with two corners in one place adds nothing: the corner it
    // shares with a whole face keeps that face's normal, the corner of its
    // own gets (0, 0, 0), no NaN.
    XTokens flat;
    flat.object("Mesh", "", [](XTokens& m) {
        m.ints({4}).floats({0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0});
        m.ints({2}).ints({3, 0, 1, 3, 3, 1, 2, 0});
    });
    const std::vector<std::uint8_t> flatFile = writeXText(flat);
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(flatFile.data(), std::uint32_t(flatFile.size()), D3DXMESH_MANAGED, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, &mesh),
              S_OK);
    ASSERT_EQ(D3DXComputeNormals(mesh, nullptr), S_OK);
    const std::vector<D3DXMeshVertex>& f = mesh->vertices();
    ASSERT_EQ(f.size(), 4u);
    // Vertices by first use: positions 0, 1, 3, then 2.
    EXPECT_EQ(f[1].nz, 1.0f);
    EXPECT_EQ(f[3].nx, 0.0f);
    EXPECT_EQ(f[3].ny, 0.0f);
    EXPECT_EQ(f[3].nz, 0.0f);
    mesh->Release();
}

}  // namespace
