#include "engine/ArchivePreview.h"

#include "engine/CompletionReport.h"
#include "engine/ExtractionCheck.h"
#include "engine/ZipCentralDirectory.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/PathUtilities.h"

namespace quorvane {

ArchivePreview::ArchivePreview(const UpdateServices& services, const std::string& installation)
    : _services(services), _installation(installation) {}

bool ArchivePreview::preview(const std::string& archive, const ZipCentralDirectory& directory,
                             UpdatePlan& plan) {
    _directory = &directory;
    _archive = archive;
    _build(directory);
    return _lineUp(_children(0), plan);
}

// The tree the tool extracts: each entry where it lands, a later entry of the same name in place of an
// earlier one, and the folders above every entry.
void ArchivePreview::_build(const ZipCentralDirectory& directory) {
    _nodes.assign(1, Node{});
    for (std::size_t i = 0; i < directory.entries().size(); ++i) {
        const ZipCentralDirectory::Entry& entry = directory.entries()[i];
        const std::string path = ExtractionCheck::extractedPath(entry.name);
        std::size_t node = 0;
        for (std::size_t start = 0; !path.empty() && start <= path.size();) {
            const std::size_t end = std::min(path.find('/', start), path.size());
            std::string name = path.substr(start, end - start);
            const auto found = _nodes[node].children.find(name);
            std::size_t child = 0;
            if (found != _nodes[node].children.end()) {
                child = found->second;
            } else {
                child = _nodes.size();
                _nodes[node].children.emplace(name, child);
                _nodes.push_back(Node{std::move(name), true, 0, node, {}});
            }
            node = child;
            start = end + 1;
        }
        if (node != 0) {
            _nodes[node].folder = entry.folder;
            _nodes[node].entry = i;
            if (!entry.folder) {
                _nodes[node].children.clear();
            }
        }
    }
}

std::string ArchivePreview::_pathOf(std::size_t node) const {
    std::string path = _nodes[node].name;
    for (std::size_t up = _nodes[node].parent; up != 0; up = _nodes[up].parent) {
        path = path::join(_nodes[up].name, path);
    }
    return path;
}

std::vector<std::size_t> ArchivePreview::_children(std::size_t node) const {
    std::vector<std::size_t> children;
    for (const auto& [name, child] : _nodes[node].children) {
        children.push_back(child);
    }
    return children;
}

// As the update lines up the extracted items: a level where a folder has a counterpart in the
// installation is merged in; else each folder is looked into.
bool ArchivePreview::_lineUp(const std::vector<std::size_t>& nodes, UpdatePlan& plan) {
    // An archive in the archive is extracted in turn once met: what it holds is told only then.
    std::vector<std::size_t> kept;
    for (const std::size_t node : nodes) {
        if (!_nodes[node].folder && path::extension(_nodes[node].name) == "zip") {
            UpdatePlan::Entry archive;
            archive.item = path::join(_archive, _pathOf(node));
            archive.fate = UpdatePlan::Fate::archive;
            archive.progress = 0;
            archive.insideArchive = true;
            plan.add(std::move(archive));
        } else {
            kept.push_back(node);
        }
    }
    for (const std::size_t node : kept) {
        bool isFolder = false;
        if (_nodes[node].folder &&
            _services.fileManager.exists(path::join(_installation, _nodes[node].name), &isFolder) &&
            isFolder) {
            _merge(kept, "", plan);
            return true;
        }
    }
    bool found = false;
    for (const std::size_t node : kept) {
        if (_nodes[node].folder) {
            found = _lineUp(_children(node), plan) || found;
        }
    }
    return found;
}

void ArchivePreview::_merge(const std::vector<std::size_t>& nodes, const std::string& subPath,
                            UpdatePlan& plan) {
    using Fate = UpdatePlan::Fate;
    for (const std::size_t node : nodes) {
        const std::string relativePath = path::join(subPath, _nodes[node].name);
        if (const auto reserved = CompletionReport::reservedNameText(relativePath, _services)) {
            _add(Fate::notInstalled, node, relativePath, 1, *reserved, plan);
            continue;
        }
        const std::string destination = path::join(_installation, relativePath);
        const FileManager::EntryState state = _services.fileManager.entryState(destination);
        if (state.exists && state.isDirectory) {
            if (_nodes[node].folder) {
                _merge(_children(node), relativePath, plan);
            } else {
                _add(Fate::notInstalled, node, relativePath, 1,
                     _services.localizer.text("A folder of that name is in the way."), plan);
            }
            continue;
        }
        const Fate fate = state.entryExists ? Fate::replace : Fate::add;
        if (_nodes[node].folder) {
            _planNewFolder(node, relativePath, fate, plan);
        } else if (const ZipCentralDirectory::Entry& recorded = _directory->entries()[_nodes[node].entry];
                   fate == Fate::replace &&
                   _services.fileManager.fileSize(destination, false) == recorded.size &&
                   ExtractionCheck::fileMatches(_services.fileManager, destination, recorded)) {
            _add(Fate::identical, node, relativePath, 0, {}, plan);
        } else {
            _add(fate, node, relativePath, 1, {}, plan);
        }
    }
}

void ArchivePreview::_planNewFolder(std::size_t node, const std::string& relativePath, UpdatePlan::Fate fate,
                                    UpdatePlan& plan) {
    std::uint32_t files = 0;
    std::vector<std::pair<std::size_t, std::string>> pending{{node, relativePath}};
    while (!pending.empty()) {
        const auto [folder, path] = std::move(pending.back());
        pending.pop_back();
        for (const std::size_t child : _children(folder)) {
            const std::string childPath = path::join(path, _nodes[child].name);
            if (_nodes[child].name.starts_with(FileManager::temporaryNamePrefix)) {
                _add(UpdatePlan::Fate::notInstalled, child, childPath, 1,
                     CompletionReport::reservedNameText(_nodes[child].name, _services).value_or(""), plan);
            } else if (_nodes[child].folder) {
                ++files;
                pending.emplace_back(child, childPath);
            } else {
                ++files;
            }
        }
    }
    _add(fate, node, relativePath, files, {}, plan);
}

void ArchivePreview::_add(UpdatePlan::Fate fate, std::size_t node, const std::string& relativePath,
                          std::uint32_t files, std::string reason, UpdatePlan& plan) const {
    UpdatePlan::Entry entry;
    entry.item = path::join(_archive, _pathOf(node)); // named as the archive holds it
    entry.relativePath = fate == UpdatePlan::Fate::notInstalled ? std::string() : relativePath;
    entry.fate = fate;
    entry.files = files;
    entry.progress = 0; // on the bar with the archive's extraction
    entry.reason = std::move(reason);
    entry.insideArchive = true;
    plan.add(std::move(entry));
}

} // namespace quorvane
