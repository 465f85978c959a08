#pragma once

#include "engine/UpdatePlan.h"
#include "engine/UpdateServices.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quorvane {

class ZipCentralDirectory;

// What an archive's contents will do to an installation, told from its table of contents before anything
// is extracted: the level of its tree that lines up with the installation, and each file's fate there, as
// the update decides them once the archive is extracted. A file already installed counts as identical
// when it has the entry's size and CRC-32. It reads only.
class ArchivePreview {
public:
    ArchivePreview(const UpdateServices& services, const std::string& installation);

    // Adds the fates of the archive's files to the plan, each marked as inside the archive: counted and
    // listed, never carried out (the extracted contents are planned again and carried out then). Answers
    // whether some level of the archive lines up.
    bool preview(const std::string& archive, const ZipCentralDirectory& directory, UpdatePlan& plan);

private:
    struct Node {
        std::string name;
        bool folder = true;
        std::size_t entry = 0; // a file's entry in the directory
        std::size_t parent = 0;
        std::map<std::string, std::size_t> children;
    };
    void _build(const ZipCentralDirectory& directory);
    bool _lineUp(const std::vector<std::size_t>& nodes, UpdatePlan& plan);
    void _merge(const std::vector<std::size_t>& nodes, const std::string& subPath, UpdatePlan& plan);
    // A folder put in whole: its files, those with names kept for the program's copies left out.
    void _planNewFolder(std::size_t node, const std::string& relativePath, UpdatePlan::Fate fate,
                        UpdatePlan& plan);
    // The fate of the node, put at relativePath in the installation.
    void _add(UpdatePlan::Fate fate, std::size_t node, const std::string& relativePath, std::uint32_t files,
              std::string reason, UpdatePlan& plan) const;
    std::vector<std::size_t> _children(std::size_t node) const;
    // Where the node lands in the extraction folder.
    std::string _pathOf(std::size_t node) const;

    const UpdateServices& _services;
    const std::string& _installation;
    const ZipCentralDirectory* _directory = nullptr;
    std::string _archive;
    std::vector<Node> _nodes; // the first is the archive's top
};

} // namespace quorvane
