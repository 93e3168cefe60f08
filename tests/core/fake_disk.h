#pragma once
// A disk in memory for the install directory rules: folders and files by exact
// path text, per-root free space, media that refuse new folders.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/dir_platform.h"

namespace tovarin::testing {

class FakeDisk final : public core::DirPlatform {
public:
    std::map<std::string, std::string> env;
    std::set<std::string> dirs;
    std::set<std::string> files;
    std::set<std::string> undeletable;
    std::set<std::string> linked;      // files reached through a link
    std::map<std::string, std::optional<std::uint64_t>> free_space;  // by queried root
    std::set<std::string> read_only;   // path prefixes where no folder can be made
    std::set<std::string> bad_names;   // folders the system rejects by name
    std::vector<std::string> made;     // every folder made, in order
    std::vector<std::string> made_for_product;  // those made by MakeProductFolder
    std::vector<std::string> space_queries;

    std::string Environment(const std::string& name) override {
        const auto it = env.find(name);
        return it == env.end() ? std::string() : it->second;
    }
    bool IsDirectory(const std::string& path) override { return dirs.count(path) != 0; }
    core::LockRemoval RemoveLockFile(const std::string& folder, const std::string& relative) override {
        const std::string path = folder + "\\" + relative;
        if (!files.count(path)) return core::LockRemoval::Absent;
        if (undeletable.count(path)) return core::LockRemoval::InUse;
        if (linked.count(path)) return core::LockRemoval::Elsewhere;
        files.erase(path);
        return core::LockRemoval::Deleted;
    }
    std::optional<std::uint64_t> FreeBytesAvailable(const std::string& root) override {
        space_queries.push_back(root);
        const auto it = free_space.find(root);
        return it == free_space.end() ? std::nullopt : it->second;
    }
    core::MakeDirResult MakeDirectory(const std::string& path) override {
        made.push_back(path);
        if (bad_names.count(path)) return core::MakeDirResult::BadPath;
        for (const auto& prefix : read_only)
            if (path.compare(0, prefix.size(), prefix) == 0) return core::MakeDirResult::Failed;
        dirs.insert(path);
        return core::MakeDirResult::Created;
    }
    core::MakeDirResult MakeProductFolder(const std::string& path) override {
        const core::MakeDirResult result = MakeDirectory(path);
        if (result == core::MakeDirResult::Created) made_for_product.push_back(path);
        return result;
    }
};

}  // namespace tovarin::testing
