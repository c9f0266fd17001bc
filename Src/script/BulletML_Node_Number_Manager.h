// The registry that gives every distinct number text one shared
// BulletML_Node_Number: a text seen before (in any script) reuses its record, a
// new text gets a record that is classified or compiled once. The
// process-wide instance serves the script reader; the game records keep an
// instance of their own. The registry owns its records for its whole life.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "script/BulletML_Node_Number.h"
#include "services/NamePool.h"

class BulletML_Node_Number_Manager {
public:
    BulletML_Node_Number_Manager() = default;
    BulletML_Node_Number_Manager(const BulletML_Node_Number_Manager&) = delete;
    BulletML_Node_Number_Manager& operator=(const BulletML_Node_Number_Manager&) = delete;
    virtual ~BulletML_Node_Number_Manager();

    static BulletML_Node_Number_Manager& instance();

    // The number of `text`, made (and classified or compiled) on first use.
    BulletML_Node_Number* get(std::string_view text);
    // The number already made for `text`, or null.
    BulletML_Node_Number* find(std::string_view text) const;
    size_t size() const;

private:
    // Recursive: compiling a new text may look up other texts.
    mutable std::recursive_mutex lock_;
    std::map<NameHandle, std::unique_ptr<BulletML_Node_Number>> numbers_;
};
