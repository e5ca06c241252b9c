// Table numbers to trees: 0, 4 and 14 code nothing (a single leaf 0); 16..23 and 24..31
// share one tree each and differ in their escape bits only.
#include "huffman.h"

namespace huffman {

#define TREE(t) t, int(sizeof(t) / sizeof(t[0]))

const sHuffTable tables[TABLES] = {
    {TREE(treeZero), 0}, {TREE(tree1), 0},  {TREE(tree2), 0},    {TREE(tree3), 0},
    {TREE(treeZero), 0}, {TREE(tree5), 0},  {TREE(tree6), 0},    {TREE(tree7), 0},
    {TREE(tree8), 0},    {TREE(tree9), 0},  {TREE(tree10), 0},   {TREE(tree11), 0},
    {TREE(tree12), 0},   {TREE(tree13), 0}, {TREE(treeZero), 0}, {TREE(tree15), 0},
    {TREE(tree16), 1},   {TREE(tree16), 2}, {TREE(tree16), 3},   {TREE(tree16), 4},
    {TREE(tree16), 6},   {TREE(tree16), 8}, {TREE(tree16), 10},  {TREE(tree16), 13},
    {TREE(tree24), 4},   {TREE(tree24), 5}, {TREE(tree24), 6},   {TREE(tree24), 7},
    {TREE(tree24), 8},   {TREE(tree24), 9}, {TREE(tree24), 11},  {TREE(tree24), 13},
    {TREE(treeA), 0},    {TREE(treeB), 0},
};

#undef TREE

} // namespace huffman
