#pragma once

#include "platform/FileManager.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// What an update will do, decided before anything is written: for each entry of the dropped items
// that the walk meets, its fate, in the order the update then carries them out. Counts and bytes are
// kept as entries are added, in the terms of the report.
class UpdatePlan {
public:
    enum class Fate {
        add,          // put in place where nothing is
        replace,      // takes the place of an installed item, which is kept in the backup
        identical,    // the installation holds the same contents already
        mergeFolder,  // a folder of the installation that receives the folder's entries
        archive,      // extracted, then installed as its contents line up
        notInstalled, // left out, with its reason
        passOver,     // on a level that never lines up with the installation
    };
    struct Entry {
        // The item to copy (a dropped link as the path it leads to).
        std::string item;
        // Where it goes, relative to the installation; empty where it goes nowhere.
        std::string relativePath;
        Fate fate = Fate::passOver;
        FileManager::EntryKind kind = FileManager::EntryKind::file;
        // Entries installed (add, replace: a folder's entries beneath it) or files not installed.
        std::uint32_t files = 0;
        // The entries it stands for on the progress bar.
        std::uint64_t progress = 1;
        // notInstalled: why; replace: the earlier update that put the installed item there, if any.
        std::string reason;
        // A not-installed entry found inside a folder that is added whole: the copy leaves it out.
        bool insideFolder = false;
        // The bytes it writes on the installation's disk.
        std::uint64_t bytes = 0;
        // What an archive's file will do once extracted, told from its table of contents: counted and
        // listed, carried out only with the extracted contents.
        bool insideArchive = false;
    };

    void add(Entry entry, std::uint64_t bytes = 0);
    // Forgets the entries once carried out; the counts stay.
    void releaseEntries() { std::vector<Entry>().swap(_entries); }
    // The replacement at index turned out to hold the installed file's contents: it is identical.
    void settleIdentical(std::size_t index);
    const std::vector<Entry>& entries() const { return _entries; }
    std::vector<Entry>& entries() { return _entries; }

    // Some level of the items lined up with the installation.
    bool lineUpFound() const { return _lineUpFound; }
    void setLineUpFound() { _lineUpFound = true; }
    // Some level of an archive's contents will line up once extracted, as its table of contents tells.
    bool archiveLinesUp() const { return _archiveLinesUp; }
    void setArchiveLinesUp() { _archiveLinesUp = true; }
    // The planning was given up (cancelled): the plan is not carried out.
    bool complete() const { return _complete; }
    void setIncomplete() { _complete = false; }

    // As the report counts them: entries put in place (replacing ones included), installed items
    // replaced, identical files, files not installed (what archives hold included, as their tables of
    // contents tell it); and the archives and the files they hold.
    std::int64_t filesAdded() const { return _filesAdded; }
    std::int64_t filesReplaced() const { return _filesReplaced; }
    std::int64_t identicalFiles() const { return _identicalFiles; }
    std::int64_t filesNotInstalled() const { return _filesNotInstalled; }
    std::int64_t archiveFiles() const { return _archiveFiles; }
    std::size_t archives() const { return _archives; }
    // The bytes the update writes on the installation's disk: new and replacing files, what archives
    // hold, and backup copies where the disk has no hard links.
    std::uint64_t bytesToWrite() const { return _bytesToWrite; }
    std::uint64_t progressEntries() const { return _progressEntries; }
    // Applying it installs everything: something lines up, nothing is left out.
    bool installsEverything() const { return (_lineUpFound || _archiveLinesUp) && _filesNotInstalled == 0; }

private:
    std::vector<Entry> _entries;
    bool _lineUpFound = false;
    bool _archiveLinesUp = false;
    bool _complete = true;
    std::int64_t _filesAdded = 0;
    std::int64_t _filesReplaced = 0;
    std::int64_t _identicalFiles = 0;
    std::int64_t _filesNotInstalled = 0;
    std::int64_t _archiveFiles = 0;
    std::size_t _archives = 0;
    std::uint64_t _bytesToWrite = 0;
    std::uint64_t _progressEntries = 0;
};

} // namespace quorvane
