#include "sysex/sysex_group_tree.h"

#include "sysex/sysex_param_nodes.h"

namespace melko {

namespace {

// The group name as the tree shows it: its non-empty parts joined by "\".
std::string TreePath(std::string_view group) {
  std::string path;
  size_t from = 0;
  while (from <= group.size()) {
    size_t bs = group.find('\\', from);
    if (bs == std::string_view::npos) bs = group.size();
    if (bs > from) {
      if (!path.empty()) path += '\\';
      path.append(group.substr(from, bs - from));
    }
    from = bs + 1;
  }
  return path;
}

}  // namespace

std::vector<TSysExGroupNode> BuildSysExGroupTree(const std::vector<std::string>& groupNames) {
  std::vector<TSysExGroupNode> tree(1);
  tree[0].Text = "All";
  for (const std::string& group : groupNames) {
    int level = 0;
    size_t from = 0;
    while (from <= group.size()) {
      size_t bs = group.find('\\', from);
      if (bs == std::string::npos) bs = group.size();
      std::string_view part(group.data() + from, bs - from);
      from = bs + 1;
      if (part.empty()) continue;
      int found = -1;
      for (int child : tree[static_cast<size_t>(level)].Children) {
        if (tree[static_cast<size_t>(child)].Text == part) {
          found = child;
          break;
        }
      }
      if (found < 0) {
        found = static_cast<int>(tree.size());
        tree.push_back({std::string(part), level, {}});
        tree[static_cast<size_t>(level)].Children.push_back(found);
      }
      level = found;
    }
  }
  return tree;
}

std::string SysExGroupPath(const std::vector<TSysExGroupNode>& tree, int node) {
  std::vector<int> chain;
  for (int n = node; n > 0 && n < static_cast<int>(tree.size()); n = tree[static_cast<size_t>(n)].Parent)
    chain.push_back(n);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += tree[static_cast<size_t>(*it)].Text;
  }
  return path;
}

std::vector<std::string> ListSysExGroup(const TSysExParamNodes& nodes, std::string_view path) {
  if (path.empty()) return nodes.GetParamNames({});
  // A plain prefix would put "Part 10".."Part 16" under "Part 1": a group
  // belongs to a node only as a whole part.
  std::vector<bool> below(static_cast<size_t>(nodes.Groups().Count()));
  for (int g = 0; g < nodes.Groups().Count(); ++g) {
    const std::string group = TreePath(nodes.Groups().Name(g));
    below[static_cast<size_t>(g)] = group.compare(0, path.size(), path) == 0 &&
                                    (group.size() == path.size() || group[path.size()] == '\\');
  }
  std::vector<std::string> names;
  const auto& params = nodes.Params();
  for (int i = 0; i < params.Count(); ++i) {
    const size_t g = static_cast<size_t>(params.Object(i)->GroupIndex);
    if (g < below.size() && below[g]) names.push_back(params.Name(i));
  }
  return names;
}

}  // namespace melko
