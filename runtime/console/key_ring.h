// Key ring: the BIOS key ring in conventional memory, its backlog, the key wait and INKEY$.
#pragma once
#include <cstdint>

struct rt_string;

// INKEY$: a temporary string, empty when no key waits (program thread).
rt_string* read_key();
// Start-up: head and tail of the key ring to 0x1E.
void key_buffer_startup();

// ---- Key ring in the emulated BIOS data area ----------------------------------------
constexpr uint32_t bios_data_area = 0x400;   // start of the BIOS data area: the ring's offsets count from here
constexpr uint32_t bios_key_head = 0x41A;    // offset byte of the next key to read
constexpr uint32_t bios_key_tail = 0x41C;    // offset byte of the next free slot
constexpr uint32_t bios_key_buffer = 0x41E;  // 16 slots of character, scan code
constexpr uint8_t bios_key_first = 30;       // slot offsets run 30, 32, ..., 60
constexpr uint8_t bios_key_last = 60;
static_assert(bios_data_area + bios_key_first == bios_key_buffer, "the first slot offset names the ring's start");
constexpr int32_t key_backlog_capacity = 4096;  // keys that may wait beyond a full ring
// Window thread (or the terminal's key thread): appends a key. When the ring is full the
// key waits in a backlog and moves into the ring as the reader takes keys; false only when
// the backlog is full too (lost).
bool bios_key_put(uint8_t character, uint8_t scan);
// Window thread (or the terminal's key thread): bios_key_put for a key that belongs to the
// time of clear count `mark` (a paste's keys belong to its click): dropped (false) when
// the ring was cleared since.
bool bios_key_put_unless_cleared(uint8_t character, uint8_t scan, uint32_t mark);
// Program thread: takes the next key from the ring: a character 0-255, or an extended
// key's code (scan code x 256); -1 when no key waits.
int32_t bios_key_take();
// Keys waiting in the ring (either thread; a snapshot).
int32_t bios_key_count();
// Keys waiting beyond the ring, in the backlog (either thread; a snapshot).
int32_t key_backlog_count();
// Program thread: waits until a key is in the ring, timeout_ms passes or shutdown has
// begun; true when a key waits.
bool key_wait(int32_t timeout_ms);
// Set by a front-end whose keys the waiting program thread can read itself (the terminal):
// key_wait calls it instead of sleeping, when no key waits and shutdown has not begun. It
// returns when it put a key, timeout_ms passed or shutdown began; early returns are allowed.
// Null: key_wait sleeps until another thread puts a key.
extern void (*read_keys_while_waiting)(int32_t timeout_ms);
// Ends every key_wait now (shutdown).
void key_waiters_wake();
// Program thread: drops every key waiting in the ring and its backlog.
void key_ring_clear();
// How many times the ring was cleared so far (either thread).
uint32_t key_ring_clear_count();
