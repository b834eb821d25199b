# Where a scan pass must click, for the shell tests: the grid of rows
# Top+3, Top+6, ... while y < Bottom-3 and columns Left+100, Left+200, ...
# while x < Right-90, each point with its run of samples x to x+20. Source it.

# grid_hits LEFT TOP RIGHT BOTTOM TX TY TW TH: the scan grid points whose
# run lies inside the target rectangle, one "x y" a line, in pass order.
grid_hits() {
  local left=$1 top=$2 right=$3 bottom=$4 tx=$5 ty=$6 tw=$7 th=$8 x y
  for ((y = top + 3; y < bottom - 3; y += 3)); do
    for ((x = left + 100; x < right - 90; x += 100)); do
      if ((x >= tx && x + 20 < tx + tw && y >= ty && y < ty + th)); then echo "$x $y"; fi
    done
  done
}
