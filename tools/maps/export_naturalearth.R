# Writes the country and US state polygons of the Natural Earth data in the Debian package
# r-cran-rnaturalearthdata (CC0) as plain text for build_maps.py:
#   P <iso numeric> <continent> <hole 0/1> <n>   followed by n lines "lon lat".
# Usage: Rscript export_naturalearth.R <out dir>
suppressMessages(library(sp))
args <- commandArgs(trailingOnly = TRUE)
out <- if (length(args) > 0) args[1] else "."

write_layer <- function(obj, codes, groups, file) {
  con <- file(file, "w")
  for (i in seq_along(obj@polygons)) {
    for (ring in obj@polygons[[i]]@Polygons) {
      xy <- ring@coords
      cat(sprintf("P %s %s %d %d\n", codes[i], gsub(" ", "_", groups[i]),
                  as.integer(ring@hole), nrow(xy)), file = con)
      cat(sprintf("%.5f %.5f\n", xy[, 1], xy[, 2]), sep = "", file = con)
    }
  }
  close(con)
}

data(countries50, package = "rnaturalearthdata")
d <- countries50@data
write_layer(countries50, as.character(d$iso_n3), as.character(d$continent),
            file.path(out, "countries.txt"))
cat(paste(d$iso_n3, d$iso_a3, gsub(" ", "_", d$continent), gsub(" ", "_", d$name),
          sep = "\t"), sep = "\n", file = file.path(out, "countries_index.txt"))

data(states50, package = "rnaturalearthdata")
s <- states50[states50@data$admin == "United States of America", ]
sd <- s@data
write_layer(s, as.character(sd$postal), rep("USA", nrow(sd)), file.path(out, "states.txt"))
cat(paste(sd$postal, sd$postal, gsub(" ", "_", sd$name), sep = "\t"), sep = "\n",
    file = file.path(out, "states_index.txt"))
