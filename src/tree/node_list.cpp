#include "tree/node_list.h"

#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define HIDE_FROM_USE(place, size) ASAN_POISON_MEMORY_REGION(place, size)
#define OPEN_FOR_USE(place, size) ASAN_UNPOISON_MEMORY_REGION(place, size)
#else
#define HIDE_FROM_USE(place, size) ((void)0)
#define OPEN_FOR_USE(place, size) ((void)0)
#endif

// Nodes and lists, each with its name, are carved from blocks shared by
// many: -a makes a node per counter of every instance, and an allocation and
// a release for each were a tenth of its own work.  A block goes back when
// the last piece carved from it is released; a released piece is not reused
// before then.  Under AddressSanitizer a piece is poisoned from its release
// on, so that a use after release is caught as with a block of its own.
struct CarvingBlock {
    size_t size; // bytes after this header
    size_t used;
    size_t live; // pieces carved and not yet released
};

// In front of every piece: the block it was carved from.
struct PieceHeader {
    CarvingBlock* block;
};

static const size_t CARVING_BLOCK_SIZE = 64 * 1024 - sizeof(CarvingBlock);
static const size_t PIECE_ALIGNMENT = alignof(Node);
static_assert(alignof(NodeList) <= PIECE_ALIGNMENT && alignof(PieceHeader) <= PIECE_ALIGNMENT,
              "every piece starts aligned for what it holds");
static CarvingBlock* carving = nullptr; // the block pieces are carved from now

static void* carvePiece(size_t size)
{
    size_t needed = (sizeof(PieceHeader) + size + PIECE_ALIGNMENT - 1) / PIECE_ALIGNMENT *
                    PIECE_ALIGNMENT;
    if (carving == nullptr || carving->size - carving->used < needed) {
        // A piece bigger than a block gets one of its own, and the block
        // carved from stays.
        size_t blockSize = needed > CARVING_BLOCK_SIZE ? needed : CARVING_BLOCK_SIZE;
        CarvingBlock* block =
            static_cast<CarvingBlock*>(allocateMemory(sizeof(CarvingBlock) + blockSize));
        if (block == nullptr) {
            outOfMemory();
        }
        block->size = blockSize;
        block->used = 0;
        block->live = 0;
        HIDE_FROM_USE(block + 1, blockSize);
        if (needed <= CARVING_BLOCK_SIZE) {
            // The block carved from so far has pieces still in use (one
            // without any was emptied and has room): the last of them to be
            // released releases it.
            carving = block;
        }
        if (block != carving) {
            OPEN_FOR_USE(block + 1, needed);
            PieceHeader* header = reinterpret_cast<PieceHeader*>(block + 1);
            header->block = block;
            block->used = needed;
            block->live = 1;
            return header + 1;
        }
    }
    char* place = reinterpret_cast<char*>(carving + 1) + carving->used;
    OPEN_FOR_USE(place, needed);
    PieceHeader* header = reinterpret_cast<PieceHeader*>(place);
    header->block = carving;
    carving->used += needed;
    carving->live++;
    return header + 1;
}

static void releasePiece(void* piece)
{
    PieceHeader* header = static_cast<PieceHeader*>(piece) - 1;
    CarvingBlock* block = header->block;
    HIDE_FROM_USE(header, sizeof *header); // the rest of the piece is its owner's to hide
    block->live--;
    if (block->live > 0) {
        return;
    }
    if (block == carving) {
        // Kept to carve from again: a program that makes and releases one
        // small tree after another would otherwise ask for a block each time.
        carving->used = 0;
        HIDE_FROM_USE(carving + 1, carving->size);
        return;
    }
    releaseMemory(block);
}

// A node or list and its name go as one piece.
static void releaseNode(Node* node)
{
    HIDE_FROM_USE(node, sizeof(Node) + strlen(node->name) + 1);
    releasePiece(node);
}

static void releaseList(NodeList* list)
{
    HIDE_FROM_USE(list, sizeof(NodeList) + strlen(list->name) + 1);
    releasePiece(list);
}

NodeList* createList(const char* name, Node* ownerNode)
{
    // One piece for the list and its name, as for nodes: every instance has
    // a counter list.
    size_t length = strlen(name);
    NodeList* list = static_cast<NodeList*>(carvePiece(sizeof(NodeList) + length + 1));
    list->name = reinterpret_cast<char*>(list + 1);
    memcpy(list->name, name, length);
    list->name[length] = '\0';
    list->count = 0;
    list->head = nullptr;
    list->tail = nullptr;
    list->ownerNode = ownerNode;
    if (ownerNode != nullptr) {
        ownerNode->childList = list;
    }
    return list;
}

Node* createNode(const char* name, uint32_t data, PDH_HCOUNTER counter, NodeList* childList,
                 NodeList* parentList)
{
    // One piece for the node and its name.
    size_t length = strlen(name);
    Node* node = static_cast<Node*>(carvePiece(sizeof(Node) + length + 1));
    node->name = reinterpret_cast<char*>(node + 1);
    memcpy(node->name, name, length);
    node->name[length] = '\0';
    node->data = data;
    node->counter = counter;
    node->childList = childList;
    node->parentList = parentList;
    node->prev = nullptr;
    node->next = nullptr;
    return node;
}

void appendNode(NodeList* list, Node* node)
{
    if (list->head == nullptr) {
        list->head = node;
        node->prev = nullptr;
    } else {
        node->prev = list->tail;
        list->tail->next = node;
    }
    node->next = nullptr;
    list->tail = node;
    list->count++;
}

// Byte-wise comparison as unsigned values: strcmp does exactly that.
static bool comesBefore(const Node* current, const Node* added, SortKey key)
{
    (void)key; // SORT_BY_NAME is the only key
    return strcmp(current->name, added->name) < 0;
}

void insertSorted(NodeList* list, Node* node, SortKey key)
{
    if (list->head == nullptr) {
        list->head = node;
        list->tail = node;
        node->prev = nullptr;
        node->next = nullptr;
        list->count = 1;
        return;
    }
    Node* stop = list->head;
    while (stop != nullptr && comesBefore(stop, node, key)) {
        stop = stop->next;
    }
    if (stop == list->head) {
        node->prev = nullptr;
        node->next = stop;
        stop->prev = node;
        list->head = node;
    } else if (stop == nullptr) {
        node->prev = list->tail;
        node->next = nullptr;
        list->tail->next = node;
        list->tail = node;
    } else {
        node->prev = stop->prev;
        node->next = stop;
        stop->prev->next = node;
        stop->prev = node;
    }
    list->count++;
}

Node* findByName(Node* startNode, const char* name)
{
    for (Node* node = startNode; node != nullptr; node = node->next) {
        if (strcmp(node->name, name) == 0) {
            return node;
        }
    }
    return nullptr;
}

void visitTree(NodeList* list, NodeCallback nodeCallback, ChildListCallback childListCallback)
{
    Node* node = list->head;
    while (node != nullptr) {
        Node* next = node->next;
        NodeList* childList = node->childList;
        nodeCallback(list, node);
        if (childList != nullptr) {
            if (childListCallback != nullptr) {
                childListCallback(childList);
            }
            visitTree(childList, nodeCallback, childListCallback);
        }
        node = next;
    }
}

void unlinkNode(NodeList* list, Node* node)
{
    if (node == list->head) {
        if (node->next != nullptr) {
            node->next->prev = nullptr;
        } else {
            list->tail = nullptr;
        }
        list->head = node->next;
    } else {
        node->prev->next = node->next;
        if (node->next != nullptr) {
            node->next->prev = node->prev;
        } else {
            list->tail = node->prev;
        }
    }
    list->count--;
    releaseNode(node);
}

void destroyTree(NodeList* list)
{
    // The whole list goes: its nodes are released as they are walked, with
    // no unlinking from neighbours that go too.
    Node* node = list->head;
    while (node != nullptr) {
        Node* next = node->next;
        NodeList* childList = node->childList;
        releaseNode(node);
        if (childList != nullptr) {
            destroyTree(childList);
        }
        node = next;
    }
    releaseList(list);
}
