// Reference linking, label lookup and the preload list of a loaded document.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LoaderTestSupport.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "platform/Text.h"
#include "services/Managers.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"

namespace {

// A document built from script texts, as a loader builds it.
class Document {
public:
    explicit Document(const std::string& body) { add(body); }
    void add(const std::string& body) {
        parseXml(text::widen("<exbulletml>" + body + "</exbulletml>"), content_, "test.xml");
    }
    BulletML_Node_Manager& operator*() { return *content_.getHandler()->getDocument(); }
    BulletML_Node_Manager* operator->() { return content_.getHandler()->getDocument(); }

    // The nodes of element `code`, in creation order.
    std::vector<BulletML_Node*> all(std::int32_t code) {
        std::vector<BulletML_Node*> found;
        for (BulletML_Node* node : (*this)->nodes()) {
            if (node->getCode() == code) found.push_back(node);
        }
        return found;
    }
    // Links as the game reset does.
    void link() {
        (*this)->setQuietLookup(true);
        (*this)->linkRefs();
        (*this)->setQuietLookup(false);
    }

private:
    BoostContentHandler content_;
};

NameHandle label(const char* text) { return internWideName(text::widen(text)); }

TEST(Linker, EveryReferenceBindsItsTargetAsTheTableSays) {
    struct Row {
        const char* ref;
        std::int32_t refCode;
        const char* target;
        std::int32_t targetCode;
        bool child;
    } rows[] = {
        {"bulletref", kBulletRef, "bullet", kBullet, false},
        {"fireref", kFireRef, "fire", kFire, true},
        {"actionref", kActionRef, "action", kAction, true},
        {"presentref", kPresentRef, "present", kPresent, false},
        {"imgref", kImgRef, "img", kImg, true},
        {"enemyref", kEnemyRef, "enemy", kEnemy, false},
        {"createref", kCreateRef, "create", kCreate, true},
        {"revengeref", kRevengeRef, "revenge", kRevenge, false},
        {"shotref", kShotRef, "shot", kShot, false},
        {"playerref", kPlayerRef, "player", kPlayer, false},
        {"objectref", kObjectRef, "object", kObject, false},
        {"soundref", kSoundRef, "sound", kSound, false},
        {"trackref", kTrackRef, "track", kTrack, true},
        {"selectableref", kSelectableRef, "selectable", kSelectable, false},
        {"cursorref", kCursorRef, "cursor", kCursor, false},
        {"unselectedref", kUnselectedRef, "unselected", kUnselected, false},
        {"selectedref", kSelectedRef, "selected", kSelected, false},
        {"decidedref", kDecidedRef, "decided", kDecided, false},
        {"imgstringref", kImgStringRef, "imgstring", kImgString, false},
        {"itemref", kItemRef, "item", kItem, false},
        {"bombref", kBombRef, "bomb", kBomb, false},
        {"meshref", kMeshRef, "mesh", kMesh, true},
        {"damageref", kDamageRef, "damage", kDamage, false},
        {"dobjectref", kDObjectRef, "dobject", kDObject, false},
    };
    std::string body;
    for (const Row& r : rows) {
        body += std::string("<") + r.target + " label=\"x\"/><" + r.ref + " label=\"x\"/>";
    }
    // Elements that are no reference take no target, even when labelled alike.
    body += "<wait label=\"x\">1</wait><targetrevenge label=\"x\"/>";
    Document doc(body);
    doc.link();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.ref);
        ASSERT_EQ(doc.all(r.refCode).size(), 1u);
        BulletML_Node* ref = doc.all(r.refCode)[0];
        BulletML_Node* target = doc.all(r.targetCode)[0];
        if (r.child) {
            EXPECT_EQ(ref->getRefTarget(), nullptr);
            ASSERT_EQ(ref->getChildCount(), 1u);
            EXPECT_EQ(ref->getChildNode(0), target);
        } else {
            EXPECT_EQ(ref->getRefTarget(), target);
            EXPECT_EQ(ref->getChildCount(), 0u);
        }
    }
    for (std::int32_t code : {kWait, kTargetRevenge}) {
        EXPECT_EQ(doc.all(code)[0]->getRefTarget(), nullptr);
        EXPECT_EQ(doc.all(code)[0]->getChildCount(), 0u);
    }
}

TEST(Linker, LabelLookupPrefersTheCacheOnlyForItsOwnElement) {
    // The label cache keeps the last node registered under a label.
    Document twoBullets("<bullet label=\"a\"/><bullet label=\"a\"/><bulletref label=\"a\"/>");
    twoBullets.link();
    EXPECT_EQ(twoBullets.all(kBulletRef)[0]->getRefTarget(), twoBullets.all(kBullet)[1]);

    // An action took the cache entry: the list gives the first bullet, which
    // then takes the entry back.
    Document taken("<bullet label=\"a\"/><bullet label=\"a\"/><action label=\"a\"/><bulletref label=\"a\"/>");
    taken.link();
    EXPECT_EQ(taken.all(kBulletRef)[0]->getRefTarget(), taken.all(kBullet)[0]);
    EXPECT_EQ(taken->labelCache().at(label("a")), taken.all(kBullet)[0]);

    Document mixed("<bullet label=\"a\"/><action label=\"a\"/><bulletref label=\"a\"/><actionref label=\"a\"/>");
    mixed.link();
    EXPECT_EQ(mixed.all(kBulletRef)[0]->getRefTarget(), mixed.all(kBullet)[0]);
    EXPECT_EQ(mixed.all(kActionRef)[0]->getChildNode(0), mixed.all(kAction)[0]);
    EXPECT_EQ(mixed->findLabel(kAction, label("a")), mixed.all(kAction)[0]);
    EXPECT_EQ(mixed->findLabel(kBullet, label("a")), mixed.all(kBullet)[0]);
}

TEST(Linker, MissingLabelsLeaveReferencesUnboundWhileQuiet) {
    LoggedTest log;
    Document doc("<bulletref label=\"gone\"/><actionref label=\"gone\"/><action label=\"other\"/>");
    doc.link();
    EXPECT_EQ(doc.all(kBulletRef)[0]->getRefTarget(), nullptr);
    EXPECT_EQ(doc.all(kActionRef)[0]->getChildCount(), 0u);
    doc->setQuietLookup(true);
    EXPECT_EQ(doc->findLabel(kAction, label("gone")), nullptr);
    EXPECT_TRUE(log.logLines().empty());
}

TEST(Linker, MissingLabelOutsideQuietLookupIsLoggedAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "fast");
    LoggedTest log;
    Document doc("<action label=\"here\"/><bullet label=\"shot\"/>");
    EXPECT_EXIT(
        {
            markMainThread();
            doc->findLabel(kAction, label("shot"));
        },
        ::testing::ExitedWithCode(1), "");
    std::vector<std::string> lines = log.logLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ラベル shot (action) が見つかりません");
    EXPECT_EQ(lines[1], "*****************************************************");
    EXPECT_EQ(lines.back(), "開放処理が終了しました");
}

TEST(Linker, ADocumentLinkedAgainGivesEachReferenceItsTargetOnce) {
    // The first scene's reference names a label that a later file of the same
    // document (kept by holdNextFlip) brings.
    Document doc("<action label=\"top\"><actionref label=\"here\"/><actionref label=\"later\"/>"
                 "<fireref label=\"f\"/><bulletref label=\"later\"/></action>"
                 "<action label=\"here\"/><fire label=\"f\"/>");
    doc.link();
    doc.add("<action label=\"later\"/><bullet label=\"later\"/>");
    doc.link();
    doc.link();
    std::vector<BulletML_Node*> refs = doc.all(kActionRef);
    ASSERT_EQ(refs[0]->getChildCount(), 1u);
    EXPECT_EQ(refs[0]->getChildNode(0), doc.all(kAction)[1]);
    ASSERT_EQ(refs[1]->getChildCount(), 1u);
    EXPECT_EQ(refs[1]->getChildNode(0), doc.all(kAction)[2]);
    EXPECT_EQ(doc.all(kFireRef)[0]->getChildCount(), 1u);
    EXPECT_EQ(doc.all(kBulletRef)[0]->getRefTarget(), doc.all(kBullet)[0]);

    // A reset document starts over.
    doc->reset();
    doc.add("<actionref label=\"a\"/><action label=\"a\"/>");
    doc.link();
    EXPECT_EQ(doc.all(kActionRef)[0]->getChildCount(), 1u);
}

TEST(Linker, PreloadListFollowsTheImageFlagsAndSoundFiles) {
    Document doc(
        "<img><file>plain</file></img>"
        "<img><file type=\"bmp\">flagged</file><flag>1</flag></img>"
        "<img><file>both</file><flag>3</flag></img>"
        "<img><file>sprite</file><flag>2</flag></img>"
        "<img><file>computed</file><flag>2+3</flag></img>"
        "<track><file type=\"ogg\">music</file></track>"
        "<soundtrack><file>voice</file></soundtrack>"
        "<preloadimg><file>p</file></preloadimg><mesh><file>m</file></mesh><trackref label=\"t\"/>");
    using R = PreloadRequest;
    const std::vector<R> expected = {
        {R::kTextureFlag, internName("plain.dds"), 0, 0},
        {R::kSpriteManager, internName("plain.dds"), 0, 0},
        {R::kTextureFlag, internName("flagged.bmp"), 1, 0},
        {R::kTextureFlag, internName("both.dds"), 3, 0},
        {R::kTextureFlag, internName("sprite.dds"), 2, 0},
        {R::kSpriteManager, internName("sprite.dds"), 2, 0},
        {R::kTextureFlag, internName("computed.dds"), 5, 0},
        {R::kSoundTrack, internName("music.wav.raw"), 0, kTypeOgg},
        {R::kSoundTrack, internName("voice.wav.raw"), 0, kTypeNone},
    };
    std::vector<R> requests = doc->listPreloads();
    ASSERT_EQ(requests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(requests[i].kind, expected[i].kind);
        EXPECT_EQ(nameText(requests[i].file), nameText(expected[i].file));
        EXPECT_EQ(requests[i].flag, expected[i].flag);
        EXPECT_EQ(requests[i].fileType, expected[i].fileType);
    }
    // Without the texture, sprite and sound managers nothing is loaded.
    doc->preloadResources();
    // The texture manager takes every image's flag word, nothing loaded.
    g_textureManager = new TextureManager();
    doc->preloadResources();
    EXPECT_EQ(g_textureManager->getFlags(internName("flagged.bmp")), 1u);
    EXPECT_EQ(g_textureManager->getFlags(internName("computed.dds")), 5u);
    EXPECT_EQ(g_textureManager->getFlags(internName("plain.dds")), 0u);
    EXPECT_EQ(g_textureManager->size(), 0u);
    // With the sprite managers: the manager of each image without flag bit 0
    // is made (its texture asked for) and its sprites set inactive.
    SpriteAllocator::instance().fill();
    g_spriteManagerManager = new SpriteManagerManager();
    auto plain = g_spriteManagerManager->findOrCreate("plain.dds");
    Sprite* kept = plain->createSprite(0, 0, 1, 1, 0, 0, 1, 1);
    ASSERT_NE(kept, nullptr);
    doc->preloadResources();
    EXPECT_EQ(kept->isActive(), 0);
    EXPECT_NE(g_spriteManagerManager->findByTexture(internName("sprite.dds")), nullptr);
    EXPECT_EQ(g_spriteManagerManager->findByTexture(internName("flagged.bmp")), nullptr);
    EXPECT_EQ(g_spriteManagerManager->size(), 3u);  // with the image manager
    delete g_spriteManagerManager;
    g_spriteManagerManager = nullptr;
    SpriteAllocator::instance().freeBlocks();
    delete g_textureManager;
    g_textureManager = nullptr;
}

}  // namespace
