#pragma once

// For a receiver's block loop: the whole chain is compiled into the loop (flatten), and GCC
// builds an AVX2/FMA copy beside the default one and picks it at load, so a block costs one
// indirect call. clang cannot combine the clones with flatten, so its builds (the fuzz build)
// keep the default copy only; ThreadSanitizer builds do too.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__) && !defined(__clang__)
#define VESTREL_BLOCK_CLONES __attribute__((flatten, target_clones("arch=x86-64-v3", "default")))
#else
#define VESTREL_BLOCK_CLONES __attribute__((flatten))
#endif

// The same two copies of a kernel called now and then (not per sample).
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__) && !defined(__clang__)
#define VESTREL_KERNEL_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define VESTREL_KERNEL_CLONES
#endif

// For a function the block loop calls per sample: GCC inlines no function of the default target
// into the AVX2/FMA copy unless told to.
#if defined(__GNUC__)
#define VESTREL_INLINE_IN_CLONES inline __attribute__((always_inline))
#else
#define VESTREL_INLINE_IN_CLONES inline
#endif
