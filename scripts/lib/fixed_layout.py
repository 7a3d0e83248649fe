"""The Python side of wine_env_fixed_layout (scripts/lib/wine-env.sh says why):
every process started after fix_layout() runs with the address-space layout
fixed, as `setarch -R` gives it."""

import ctypes

ADDR_NO_RANDOMIZE = 0x0040000


def fix_layout() -> bool:
    """Whether this process's children will have the fixed layout."""
    libc = ctypes.CDLL(None)
    current = libc.personality(0xFFFFFFFF)
    return current != -1 and libc.personality(current | ADDR_NO_RANDOMIZE) != -1
