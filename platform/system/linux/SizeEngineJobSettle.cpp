#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>
#include <utility>

#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

namespace {

FolderSize sizeOf(const Node& node) {
    if (node.otherFileSystem) {
        return {.readable = true, .otherFileSystem = true};
    }
    const int fault = node.fault.load(std::memory_order_relaxed);
    if (fault == 0) {
        return FolderSize::of(node.bytes.load(std::memory_order_relaxed));
    }
    return fault == Node::kUnreadable ? FolderSize::unreadable()
                                      : FolderSize::outOfResources(fault);
}

// Records `value` unless a graver fault is there: a part that cannot be read decides.
void raise(std::atomic<int>& fault, int value) {
    int seen = fault.load(std::memory_order_relaxed);
    while (seen < value && !fault.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

// Frees `top` and every kept folder beneath it, allocating nothing: memory may have run out.
void freeTree(Node* top) {
    Node* node = top;
    while (node) {
        if (!node->keptChildren.empty()) {
            Node* child = node->keptChildren.back();
            node->keptChildren.pop_back();
            node = child;
        } else {
            Node* up = node == top ? nullptr : node->parent;
            delete node;
            node = up;
        }
    }
}

// The kept folders beneath `root` in pre-order, freeing each node once it is written. Where memory
// runs out, the nodes not yet written are freed and std::bad_alloc goes on.
std::vector<FolderNode> takeTree(Node& root) {
    std::vector<FolderNode> tree;
    std::vector<std::pair<Node*, std::size_t>> todo;
    try {
        todo.reserve(root.keptChildren.size());
        for (auto it = root.keptChildren.rbegin(); it != root.keptChildren.rend(); ++it) {
            todo.emplace_back(*it, FolderNode::kNoParent);
        }
        root.keptChildren.clear();
        while (!todo.empty()) {
            auto [node, parent] = todo.back();
            if (node->otherFileSystem) {
                todo.pop_back();
                delete node;
                continue;
            }
            tree.push_back({node->name, parent, sizeOf(*node)});
            // Room first, so that no node is ever held by neither the list nor the tree above.
            const std::size_t room = todo.size() + node->keptChildren.size();
            if (room > todo.capacity()) {
                todo.reserve(std::max(room, 2 * todo.capacity()));
            }
            todo.pop_back();
            for (auto it = node->keptChildren.rbegin(); it != node->keptChildren.rend(); ++it) {
                todo.emplace_back(*it, tree.size() - 1);
            }
            node->keptChildren.clear();
            delete node;
        }
    } catch (const std::bad_alloc&) {
        for (const auto& [node, parent] : todo) {
            freeTree(node);
        }
        throw;
    }
    return tree;
}

}  // namespace

// A shortage leaves the folder out of resources; any other error, or none, or a shortage that
// only a cancel cut short, leaves it unreadable.
void Job::fail(Node& node, int error) {
    const bool cancelled = cancelled_.load(std::memory_order_relaxed);
    raise(node.fault, isShortage(error) && !cancelled ? error : Node::kUnreadable);
    if (error != 0 && !cancelled && !node.named) {
        name(node, error);
    }
}

// Puts the folder on its root's list of failures, by its path from the sizing's parent; where
// memory runs out for that, the folder goes unnamed.
void Job::name(Node& node, int error) try {
    node.named = true;
    std::string path = pathOf(node);
    std::lock_guard lock(resultLock_);
    failures_[node.root].push_back({std::move(path), error});
    roots_[node.root].failed.store(true, std::memory_order_relaxed);
} catch (const std::bad_alloc&) {
}

std::string Job::pathOf(const Node& node) const {
    std::vector<const std::string*> names;
    const Node* up = &node;
    for (; up->parent; up = up->parent) {
        names.push_back(&up->name);
    }
    std::string path = roots_[up->root].name;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += path.empty() ? "" : "/";
        path += **it;
    }
    return path;
}

void Job::done(Node& node) {
    if (node.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        settle(&node);
    }
}

// Called once everything beneath `node` is counted: hands its total up, as far as the parents
// are complete too. A loop, not recursion, so depth costs no stack.
void Job::settle(Node* node) {
    while (Node* parent = node->parent) {
        parent->bytes.fetch_add(node->bytes.load(std::memory_order_relaxed),
                                std::memory_order_relaxed);
        if (const int fault = node->fault.load(std::memory_order_relaxed); fault != 0) {
            raise(parent->fault, fault);
        }
        if (!node->kept) {
            delete node;
        }
        if (parent->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) {
            return;
        }
        node = parent;
    }
    finishRoot(node->root, node);
}

void Job::finishRoot(std::size_t index, Node* root) {
    if (!links_) {
        publish(index, root);
    } else {
        std::lock_guard lock(publishLock_);
        walked_[index] = root;
        for (; published_ < walked_.size() && walked_[published_]; ++published_) {
            links_->credit(published_);
            publish(published_, *walked_[published_]);
        }
    }
    if (rootsLeft_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        // Taken and let go so that no worker or pacer is between its check and its sleep.
        { std::lock_guard lock(stackLock_); }
        stackReady_.notify_all();
        lastRootDone_.notify_all();
    }
}

void Job::publish(std::size_t index, Node* root) {
    if (!root) {
        finishRoot(index, FolderSize::outOfResources(ENOMEM));
        return;
    }
    FolderSize size = sizeOf(*root);
    std::vector<FolderNode> tree;
    try {
        tree = takeTree(*root);
    } catch (const std::bad_alloc&) {
        size = FolderSize::outOfResources(ENOMEM);
    }
    freeTree(root);
    finishRoot(index, size, std::move(tree));
}

}  // namespace dirtally::sizeengine
