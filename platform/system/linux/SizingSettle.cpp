#include <utility>

#include "platform/system/linux/SizingWalk.h"

namespace dirtally::sizing {

namespace {

FolderSize sizeOf(const Node& node) {
    return node.unreadable.load(std::memory_order_relaxed)
               ? FolderSize::unreadable()
               : FolderSize::of(node.bytes.load(std::memory_order_relaxed));
}

// The kept folders beneath `root` in pre-order, freeing each node once it is written.
std::vector<FolderNode> takeTree(Node& root) {
    std::vector<FolderNode> tree;
    std::vector<std::pair<Node*, std::size_t>> todo;
    for (auto it = root.keptChildren.rbegin(); it != root.keptChildren.rend(); ++it) {
        todo.emplace_back(*it, FolderNode::kNoParent);
    }
    while (!todo.empty()) {
        auto [node, parent] = todo.back();
        todo.pop_back();
        const std::size_t index = tree.size();
        tree.push_back({node->name, parent, sizeOf(*node)});
        for (auto it = node->keptChildren.rbegin(); it != node->keptChildren.rend(); ++it) {
            todo.emplace_back(*it, index);
        }
        delete node;
    }
    return tree;
}

}  // namespace

void Walk::fail(Node& node) {
    node.unreadable.store(true, std::memory_order_relaxed);
    rootFailed_[node.root].store(true, std::memory_order_relaxed);
}

void Walk::done(Node& node) {
    if (node.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        settle(&node);
    }
}

// Called once everything beneath `node` is counted: hands its total up, as far as the parents
// are complete too. A loop, not recursion, so depth costs no stack.
void Walk::settle(Node* node) {
    while (Node* parent = node->parent) {
        parent->bytes.fetch_add(node->bytes.load(std::memory_order_relaxed),
                                std::memory_order_relaxed);
        if (node->unreadable.load(std::memory_order_relaxed)) {
            parent->unreadable.store(true, std::memory_order_relaxed);
        }
        if (!node->kept) {
            delete node;
        }
        if (parent->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) {
            return;
        }
        node = parent;
    }
    finishRoot(node);
}

void Walk::finishRoot(Node* root) {
    const std::size_t index = root->root;
    RootResult result{true, sizeOf(*root), takeTree(*root)};
    delete root;
    finishRoot(index, std::move(result));
    bool last = false;
    {
        std::lock_guard lock(stackLock_);
        last = --rootsLeft_ == 0;
    }
    if (last) {
        stackReady_.notify_all();
    }
}

}  // namespace dirtally::sizing
