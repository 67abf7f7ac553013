# velk_mixture on the chinook data frames beside the command line doing the
# same (velk import of the table, then velk on the three collections' control
# files): wall and CPU seconds, medians of REPEAT runs.
#   R_LIBS=LIB Rscript bench/r_bench.R CHINOOK_CSV VELK_COMMAND [REPEAT]
args <- commandArgs(trailingOnly = TRUE)
csv <- args[1]
command <- args[2]
repeats <- if (length(args) > 2) as.integer(args[3]) else 5L
library(velk)
table <- read.csv(csv, stringsAsFactors = FALSE, check.names = FALSE)
ref <- table[table$sample_type == "reference", ]
mix <- table[table$sample_type == "mixture", ]
timed <- function(f) {
  t <- replicate(repeats, {
    x <- system.time(f())
    c(wall = x[["elapsed"]], cpu = x[["user.self"]] + x[["sys.self"]] +
        x[["user.child"]] + x[["sys.child"]])
  })
  apply(t, 1, stats::median)
}
r <- timed(function() suppressWarnings(velk_mixture(ref, mix, gen_start_col = 5, threads = 1)))
cli <- timed(function() {
  out <- tempfile("cli-")
  dir.create(out)
  system2(command, c("import", "--out", file.path(out, "ch"), csv), stdout = FALSE, stderr = FALSE)
  system2(command, c("--quiet", "--threads", "1", Sys.glob(file.path(out, "ch-*.ctl"))),
          stdout = FALSE, stderr = FALSE)
})
cat(sprintf("velk_mixture   wall %.3f s  cpu %.3f s\n", r[["wall"]], r[["cpu"]]))
cat(sprintf("command line   wall %.3f s  cpu %.3f s\n", cli[["wall"]], cli[["cpu"]]))
cat(sprintf("ratio (wall)   %.2f\n", r[["wall"]] / cli[["wall"]]))
