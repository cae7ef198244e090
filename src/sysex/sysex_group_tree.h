// The group tree of the SysEx input dialog: the root "All", below it one
// level for each backslash-separated part of a group name ("GS\Part 1" gives
// All > GS > Part 1), parts shared between groups appearing once. Listing a
// node gives the parameters of the groups at or below it. Texts keep their
// raw bytes. Qt-free; the dialog shows this tree in its tree view.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace melko {

class TSysExParamNodes;

struct TSysExGroupNode {
  std::string Text;
  int Parent = -1;            // -1 for the root
  std::vector<int> Children;  // in order of first appearance
};

// Node 0 is the root "All". Empty parts (a doubled or trailing backslash)
// make no level of their own.
std::vector<TSysExGroupNode> BuildSysExGroupTree(const std::vector<std::string>& groupNames);

// The group path of a node: the texts from the root down joined with "\",
// without the leading "All\" (the root gives the empty path).
std::string SysExGroupPath(const std::vector<TSysExGroupNode>& tree, int node);

// The parameters listed for a group path, in file order: every parameter for
// the empty path, else those whose group is the path itself or lies below it
// ("GS" lists "GS\Part 1" and "GS\Part 10", "GS\Part 1" lists only its own).
std::vector<std::string> ListSysExGroup(const TSysExParamNodes& nodes, std::string_view path);

}  // namespace melko
