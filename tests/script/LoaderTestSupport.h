// Helpers of the loader, configuration and linker suites: a logged temporary
// game folder with the configuration record and the archive in their
// process-wide pointers (as start-up makes them), and lookups into loaded
// documents that never take the fatal path.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "platform/Thread.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/XMLManagerManager.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/MainLoop.h"
#include "support/TestSupport.h"

using ScriptFiles = std::vector<std::pair<std::string, std::string>>;

// An "exbulletml" script whose body is one action per label given.
inline std::string actionsLabelled(const std::vector<std::string>& labels) {
    std::string text = "<exbulletml>";
    for (const std::string& label : labels) text += "<action label=\"" + label + "\"><wait>1</wait></action>";
    return text + "</exbulletml>";
}

// The labels of the document's nodes of element `code`, in creation order.
inline std::vector<std::string> labelsOf(const BulletML_Node_Manager* document, std::int32_t code) {
    std::vector<std::string> labels;
    if (!document) return labels;
    for (const BulletML_Node* node : document->nodes()) {
        if (node->getCode() == code && node->getLabel() != 0) {
            labels.push_back(text::narrow(wideNameText(node->getLabel())));
        }
    }
    return labels;
}

// The first node of element `code` labelled `label`, or null.
inline BulletML_Node* nodeLabelled(const BulletML_Node_Manager* document, std::int32_t code,
                                   const std::string& label) {
    NameHandle wide = internWideName(text::widen(label));
    for (BulletML_Node* node : document->nodes()) {
        if (node->getCode() == code && node->getLabel() == wide) return node;
    }
    return nullptr;
}

class LoaderFixture : public ::testing::Test, public LoggedTest {
protected:
    LoaderFixture() {
        markMainThread();
        // "fast" forks without re-running the program, so the child writes
        // into this test's temporary root.
        GTEST_FLAG_SET(death_test_style, "fast");
    }
    ~LoaderFixture() override {
        delete g_xmlManagerManager;
        g_xmlManagerManager = nullptr;
        g_currentDocument = nullptr;
        g_currentLoader = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }

    // The script files packed into the folder's "script" archive, and the
    // managers start-up makes before the configuration document is read.
    void startWith(const ScriptFiles& files) {
        root().writeScripts(files);
        createManagers();
    }
    static void createManagers() {
        g_systemInfo = new SystemInfo();
        g_archiveManager = new ArchiveManager();
        g_xmlManagerManager = new XMLManagerManager();
    }
    static XMLManagerManager& loaders() { return *g_xmlManagerManager; }
};
