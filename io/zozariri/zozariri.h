#pragma once
// The exchange library's entry points, as the terminal imports them.
#ifdef __cplusplus
extern "C" {
#endif

// Opens exchange channel 1..9 (closing the one open before); non-zero on success. A channel
// newly opened starts with both rings empty (what a peer queued before is discarded, and
// standard error says so); asking again for the channel already open changes nothing.
int _ZozariRichangeInit(int channel);
// The next symbol the other program wants sent, 0..255, or negative when none waits.
// Never blocks.
int _PelmarGetSymFromTxBuffer(void);
// Hands one received symbol to the other program; dropped when its ring is full or no
// channel is open.
void _PelmarPutSymToRxBuffer(signed char symbol);

#ifdef __cplusplus
}
#endif
