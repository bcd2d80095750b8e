<?xml version="1.0" encoding="UTF-8"?>
<!-- The HTML report of the restrictions as the registry holds them. The program passes the date. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes" doctype-system="about:legacy-compat"/>
  <xsl:param name="reportDate" select="''"/>

  <xsl:template match="/">
    <html lang="en">
      <head>
        <title>Tavimor 4.0 restrictions report<xsl:if test="string(TAVIMOR/@SystemName)"> &#8212; <xsl:value-of select="TAVIMOR/@SystemName"/></xsl:if></title>
        <style>
          body { font-family: "Segoe UI", "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #1e2228; margin: 2em; }
          header { border-bottom: 3px solid #2f6fb3; padding-bottom: 0.6em; margin-bottom: 1.2em; }
          h1 { font-size: 18pt; margin: 0 0 0.3em 0; color: #1f4f82; }
          h2 { font-size: 13pt; margin: 1.6em 0 0.4em 0; color: #1f4f82; }
          .facts { margin: 0; color: #4a5260; }
          .facts span.sep { color: #9aa3ae; padding: 0 0.8em; }
          .facts b { color: #1e2228; }
          table { border-collapse: collapse; width: 100%; margin-bottom: 0.5em; table-layout: fixed; }
          th { text-align: left; background: #e8eef6; border-bottom: 2px solid #9fb6d3; padding: 4px 6px; }
          td { border-bottom: 1px solid #d6dbe2; padding: 4px 6px; vertical-align: top; }
          tr:nth-child(even) td { background: #f7f9fb; }
          td.state { white-space: nowrap; font-weight: bold; }
          td.enabled { color: #1d7a38; }
          td.disabled { color: #a3261b; }
          td.location { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 8.5pt; }
          td.restart { text-align: center; white-space: nowrap; }
          .needs-restart { color: #c00000; font-weight: bold; }
          .note { color: #6b5300; font-style: italic; }
          .unset { color: #7a828e; font-style: italic; font-weight: normal; }
          footer { margin-top: 2em; color: #7a828e; font-size: 8.5pt; }
          @media print {
            @page { size: landscape; margin: 1.5cm; }
            body { margin: 0; font-size: 9pt; }
            section { page-break-inside: auto; }
            h2 { page-break-after: avoid; }
            tr { page-break-inside: avoid; }
            thead { display: table-header-group; }
            tr:nth-child(even) td { background: none; }
            a { color: inherit; text-decoration: none; }
          }
        </style>
      </head>
      <body>
        <header>
          <h1>Tavimor 4.0 restrictions report</h1>
          <p class="facts">
            Computer: <b><xsl:value-of select="TAVIMOR/@SystemName"/></b>
            <xsl:if test="string($reportDate)"><span class="sep">|</span>Date: <b><xsl:value-of select="$reportDate"/></b></xsl:if>
            <span class="sep">|</span>Sections: <b><xsl:value-of select="count(TAVIMOR/REGISTRYSETTINGS)"/></b>
            <span class="sep">|</span>Restrictions: <b><xsl:value-of select="count(TAVIMOR/REGISTRYSETTINGS/ENTRY)"/></b>
            <xsl:if test="TAVIMOR/TEMPLATES/POLICY"><span class="sep">|</span>Template policies set: <b><xsl:value-of select="count(TAVIMOR/TEMPLATES/POLICY)"/></b></xsl:if>
          </p>
        </header>
        <xsl:apply-templates select="TAVIMOR/REGISTRYSETTINGS"/>
        <xsl:apply-templates select="TAVIMOR/TEMPLATES[POLICY]"/>
        <footer>States are those the registry held when the report was made. Restrictions marked as
          needing a restart take effect after Windows restarts.</footer>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="REGISTRYSETTINGS">
    <section>
      <h2><xsl:value-of select="@Section"/></h2>
      <table>
        <colgroup>
          <col style="width: 19%"/><col style="width: 9%"/><col style="width: 29%"/><col style="width: 10%"/><col style="width: 33%"/>
        </colgroup>
        <thead>
          <tr><th>Restriction</th><th>State</th><th>Registry location</th><th>Restart</th><th>Description</th></tr>
        </thead>
        <tbody>
          <xsl:apply-templates select="ENTRY"/>
        </tbody>
      </table>
    </section>
  </xsl:template>

  <xsl:template match="ENTRY">
    <xsl:variable name="type" select="translate(VALUES/@Datatype, 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')"/>
    <xsl:variable name="value" select="string(VALUES/CURRENTVALUE)"/>
    <tr>
      <td><xsl:value-of select="NAME"/></td>
      <xsl:choose>
        <xsl:when test="$type = 'BOOLEAN' and $value != '' and number($value) = 0">
          <td class="state enabled">Enabled</td>
        </xsl:when>
        <xsl:when test="$type = 'BOOLEAN'">
          <td class="state disabled">Disabled</td>
        </xsl:when>
        <xsl:when test="$value = ''">
          <td class="state"><span class="unset">Not set</span></td>
        </xsl:when>
        <xsl:otherwise>
          <td class="state"><xsl:value-of select="$value"/></td>
        </xsl:otherwise>
      </xsl:choose>
      <td class="location">
        <xsl:call-template name="breakable-path">
          <xsl:with-param name="path" select="concat(KEY, '\', PATH, '\', REGNAME)"/>
        </xsl:call-template>
      </td>
      <td class="restart">
        <xsl:choose>
          <xsl:when test="translate(@Restart, 'yes', 'YES') = 'YES'"><span class="needs-restart">Needs restart</span></xsl:when>
          <xsl:otherwise>&#8212;</xsl:otherwise>
        </xsl:choose>
      </td>
      <td>
        <xsl:value-of select="DESCRIPTION"/>
        <xsl:if test="string(COMMENT)"><xsl:text> </xsl:text><span class="note">(<xsl:value-of select="COMMENT"/>)</span></xsl:if>
      </td>
    </tr>
  </xsl:template>

  <!-- The Administrative Templates' policies set in the registry; those not configured are left out. -->
  <xsl:template match="TEMPLATES">
    <section>
      <h2>Administrative Templates</h2>
      <table>
        <colgroup>
          <col style="width: 22%"/><col style="width: 9%"/><col style="width: 27%"/><col style="width: 42%"/>
        </colgroup>
        <thead>
          <tr><th>Policy</th><th>State</th><th>Registry location</th><th>Options</th></tr>
        </thead>
        <tbody>
          <xsl:apply-templates select="POLICY"/>
        </tbody>
      </table>
    </section>
  </xsl:template>

  <xsl:template match="POLICY">
    <tr>
      <td>
        <xsl:choose>
          <xsl:when test="string(@Title)"><xsl:value-of select="@Title"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="@Name"/></xsl:otherwise>
        </xsl:choose>
        <xsl:if test="string(@Place)"><br/><span class="note"><xsl:value-of select="@Place"/></span></xsl:if>
      </td>
      <xsl:choose>
        <xsl:when test="@State = 'Enabled'"><td class="state enabled">Enabled</td></xsl:when>
        <xsl:when test="@State = 'Disabled'"><td class="state disabled">Disabled</td></xsl:when>
        <xsl:otherwise><td class="state"><xsl:value-of select="@State"/></td></xsl:otherwise>
      </xsl:choose>
      <td class="location">
        <xsl:call-template name="breakable-path">
          <xsl:with-param name="path" select="string(@Key)"/>
        </xsl:call-template>
      </td>
      <td><xsl:value-of select="@Values"/></td>
    </tr>
  </xsl:template>

  <!-- Long registry paths may wrap after a backslash, never inside a name. -->
  <xsl:template name="breakable-path">
    <xsl:param name="path"/>
    <xsl:choose>
      <xsl:when test="contains($path, '\')">
        <xsl:value-of select="substring-before($path, '\')"/>
        <!-- The HTML serialiser of XSLT 1.0 does not know wbr as an empty element. -->
        <xsl:text>\</xsl:text><xsl:text disable-output-escaping="yes">&lt;wbr&gt;</xsl:text>
        <xsl:call-template name="breakable-path">
          <xsl:with-param name="path" select="substring-after($path, '\')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$path"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
